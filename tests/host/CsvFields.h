#pragma once
// Reads CSV records the way a spreadsheet does (RFC 4180): a field in quotes
// may hold commas, line breaks and doubled quotes. Written apart from the
// program's writer, so the two check each other.
#include <string>
#include <vector>

// One record from `text` at `at`, which moves past its CR LF. False when the
// text is not well formed there (a stray quote, a quote left open, a record
// that does not end in CR LF).
inline bool ReadCsvRecord(const std::string& text, size_t& at, std::vector<std::string>& fields) {
    fields.clear();
    for (;;) {
        std::string field;
        if (at < text.size() && text[at] == '"') {
            for (++at;; ++at) {
                if (at >= text.size()) return false;
                if (text[at] != '"') {
                    field += text[at];
                } else if (at + 1 < text.size() && text[at + 1] == '"') {
                    field += '"';
                    ++at;
                } else {
                    ++at;
                    break;
                }
            }
        } else {
            for (; at < text.size() && text[at] != ',' && text[at] != '\r'; ++at) {
                if (text[at] == '"' || text[at] == '\n') return false;
                field += text[at];
            }
        }
        fields.push_back(field);
        if (at < text.size() && text[at] == ',') {
            ++at;
            continue;
        }
        if (text.compare(at, 2, "\r\n") != 0) return false;
        at += 2;
        return true;
    }
}

// Every record of a whole file; false when any is not well formed.
inline bool ReadCsv(const std::string& text, std::vector<std::vector<std::string>>& records) {
    records.clear();
    for (size_t at = 0; at < text.size();) {
        std::vector<std::string> fields;
        if (!ReadCsvRecord(text, at, fields)) return false;
        records.push_back(fields);
    }
    return true;
}
