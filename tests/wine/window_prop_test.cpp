#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <utility>
#include <vector>

#include "ui/WindowPropWin32.h"
#include "common/ScopedWin32.h"

TEST(WindowProp, AttachFindDetach) {
    HWND w = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, w);
    int object = 42;
    EXPECT_EQ(nullptr, FindObject<int>(w, "Thing_Class"));
    ASSERT_TRUE(AttachObject(w, "Thing_Class", &object));
    EXPECT_EQ(&object, FindObject<int>(w, "Thing_Class"));
    EXPECT_EQ(&object, DetachObject<int>(w, "Thing_Class"));
    EXPECT_EQ(nullptr, FindObject<int>(w, "Thing_Class"));
    EXPECT_EQ(nullptr, FindObject<int>(nullptr, "Thing_Class"));
    DestroyWindow(w);
}

TEST(ScopedHandle, TreatsNullAndInvalidAsEmpty) {
    ScopedHandle none;
    ScopedHandle invalid(INVALID_HANDLE_VALUE);
    EXPECT_FALSE(none.IsValid());
    EXPECT_FALSE(invalid.IsValid());
    ScopedHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    EXPECT_TRUE(event.IsValid());
    event.Close();
    EXPECT_FALSE(event.IsValid());
}

TEST(ScopedHandle, AMoveHandsTheHandleOverAndItIsClosedOnce) {
    HANDLE raw = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(raw);
    HANDLE copy = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), raw, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS));
    {
        ScopedEvent first(raw);
        ScopedEvent second(std::move(first));
        EXPECT_FALSE(first.IsValid());
        EXPECT_EQ(second.Get(), raw);
        ScopedEvent third;
        third = std::move(second);
        EXPECT_FALSE(second.IsValid());
        EXPECT_EQ(third.Get(), raw);
        // The owner is lent to a call as a HANDLE.
        EXPECT_TRUE(SetEvent(third));
    }
    // Closed by the last owner: the handle is gone, the object lives on in the copy.
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(raw, &flags));
    EXPECT_EQ(WaitForSingleObject(copy, 0), WAIT_OBJECT_0);
    CloseHandle(copy);
}

TEST(ScopedSocket, StaysOpenWhileMovedAndClosesAtTheEnd) {
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    SOCKET raw = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    ASSERT_NE(raw, INVALID_SOCKET);
    {
        std::vector<ScopedSocket> sockets;
        sockets.emplace_back(raw);
        for (int i = 0; i < 16; ++i) sockets.emplace_back();  // moves the first one as the vector grows
        EXPECT_EQ(sockets.front().Get(), raw);
        int type = 0, size = sizeof type;
        EXPECT_EQ(getsockopt(raw, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &size), 0)
            << "an old place closed it";
        sockets.front().CloseAbortive();
        EXPECT_FALSE(sockets.front().IsValid());
    }
    int type = 0, size = sizeof type;
    EXPECT_NE(getsockopt(raw, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &size), 0);
    WSACleanup();
}

TEST(CodePage, WineRunsWithCodePage932) {
    EXPECT_EQ(932u, GetACP());
}
