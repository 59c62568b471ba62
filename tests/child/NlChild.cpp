// A console program the tests run as a tool. Each argument is one step,
// carried out in order:
//   -w TEXT   write TEXT to standard output in one write; \n \r \f \\ and
//             \xHH are decoded, so CP932 bytes need no code page of their own
//   -e TEXT   the same to standard error
//   -n COUNT  write COUNT lines "line N" with CR LF, as fast as possible
//   -s MS     sleep
//   -r        read standard input until it ends
//   -x CODE   exit at once with CODE
//   -f PATH   create the file PATH: the mark of a step that must never run
//   -g MS     start a copy of this program that sleeps MS, handing it every
//             inheritable handle (as a shell would), and write
//             "grandchild PID" on a line of its own
//   -k        write "sockets N": how many bound sockets this process holds
//   -h HEX    write "handle HEX open" or "handle HEX closed": whether a
//             handle of that value exists in this process
// Without -x it exits with 0.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string Decode(const char* text) {
    std::string out;
    for (const char* p = text; *p; ++p) {
        // A double-byte character's trail byte may be 0x5C: no escape.
        if (IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1]) {
            out += *p++;
            out += *p;
            continue;
        }
        if (*p != '\\' || !p[1]) {
            out += *p;
            continue;
        }
        ++p;
        switch (*p) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 'f': out += '\f'; break;
        case 'x':
            if (p[1] && p[2]) {
                char hex[3] = {p[1], p[2], 0};
                out += static_cast<char>(std::strtoul(hex, nullptr, 16));
                p += 2;
            }
            break;
        default: out += *p; break;
        }
    }
    return out;
}

void WriteAll(HANDLE handle, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD wrote = 0;
        if (!WriteFile(handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &wrote, nullptr)) return;
        done += wrote;
    }
}

}  // namespace

int main(int argc, char** argv) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    for (int i = 1; i < argc; ++i) {
        std::string step = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : "";
        if (step == "-w") {
            WriteAll(out, Decode(value));
            ++i;
        } else if (step == "-e") {
            WriteAll(err, Decode(value));
            ++i;
        } else if (step == "-n") {
            long count = std::strtol(value, nullptr, 10);
            std::string block;
            char line[32];
            for (long n = 1; n <= count; ++n) {
                block += std::string(line, std::snprintf(line, sizeof line, "line %ld\r\n", n));
                if (block.size() >= 8192) {
                    WriteAll(out, block);
                    block.clear();
                }
            }
            WriteAll(out, block);
            ++i;
        } else if (step == "-s") {
            Sleep(static_cast<DWORD>(std::strtoul(value, nullptr, 10)));
            ++i;
        } else if (step == "-r") {
            char buffer[256];
            DWORD got = 0;
            while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) && got) {}
        } else if (step == "-g") {
            char self[MAX_PATH] = {};
            GetModuleFileNameA(nullptr, self, sizeof self - 1);
            std::string command = std::string("\"") + self + "\" -s " + value;
            STARTUPINFOA startup = {};
            startup.cb = sizeof startup;
            PROCESS_INFORMATION info = {};
            if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
                WriteAll(out, "grandchild " + std::to_string(info.dwProcessId) + "\n");
                CloseHandle(info.hThread);
                CloseHandle(info.hProcess);
            } else {
                WriteAll(out, "grandchild failed " + std::to_string(GetLastError()) + "\n");
            }
            ++i;
        } else if (step == "-k") {
            WSADATA data = {};
            WSAStartup(MAKEWORD(2, 2), &data);
            int sockets = 0;
            // Under Wine, getsockname is what answers for an inherited socket.
            for (UINT_PTR h = 4; h < 0x4000; h += 4) {
                sockaddr_in name = {};
                int size = sizeof name;
                if (getsockname(static_cast<SOCKET>(h), reinterpret_cast<sockaddr*>(&name), &size) == 0) ++sockets;
            }
            WriteAll(out, "sockets " + std::to_string(sockets) + "\n");
        } else if (step == "-h") {
            HANDLE handle = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(std::strtoull(value, nullptr, 16)));
            DWORD flags = 0;
            WriteAll(out, std::string("handle ") + value + (GetHandleInformation(handle, &flags) ? " open\n" : " closed\n"));
            ++i;
        } else if (step == "-f") {
            HANDLE file = CreateFileA(value, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
            ++i;
        } else if (step == "-x") {
            return static_cast<int>(std::strtol(value, nullptr, 10));
        }
    }
    return 0;
}
