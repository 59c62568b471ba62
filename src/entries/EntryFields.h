#pragma once
// What the entry dialog's boxes mean: how their texts become record fields
// and how record fields become texts. The window code only moves texts.
#include <cstdint>
#include <string>
#include <vector>
#include "common/TextFormat.h"
#include "entries/WakeEntry.h"

// Widths the dialog's boxes are limited to.
constexpr int kNameBoxLimit = 127;
constexpr int kTextBoxLimit = 255;
constexpr int kMacBoxLimit = 2;

// A box's text cut to `maxBytes`, never inside a double-byte character.
std::string FitText(const std::string& text, size_t maxBytes);

// A MAC box: its first (at most two) hexadecimal digits, read up to the first
// other character; nothing readable gives 0.
uint8_t ParseMacBox(const char* text);
// "%02X".
std::string MacBoxText(uint8_t octet);

// The port box as an unsigned decimal number, stored as it is (no range
// check). Spaces around the digits are allowed; anything else, or a number
// that does not fit 32 bits, gives 0.
int32_t ParsePortBox(const char* text);
// The port as the box shows it: unsigned decimal.
std::string PortBoxText(int32_t port);

// The IP address control holds a.b.c.d as one number, a most significant.
uint32_t AddressControlValue(const uint8_t octets[4]);
void PackAddress(uint32_t controlValue, uint8_t octets[4]);
bool IsBlankAddress(const uint8_t octets[4]);

// A time box: the date and time, or "(未設定)" when the year is 0.
std::string EntryTimeText(const DateTime& t);

// Everything the destination page reads back from its boxes on OK.
struct DestinationBoxes {
    std::string name;
    uint32_t ipAddress = 0;     // IP address control values
    uint32_t subnetMask = 0;
    std::string port;
    std::string mac[6];
    std::string hostName;
    bool excluded = false;
};
void ApplyDestination(const DestinationBoxes& boxes, WakeEntry& entry);

// The six SecureOn password boxes, beside the MAC boxes: all empty for a
// record without a password, else "%02X" each. Read back like MAC boxes.
void PasswordBoxTexts(const WakeEntry& entry, std::string texts[6]);
void ApplyPassword(const std::string texts[6], WakeEntry& entry);

// The additional-information page on OK: place and comment only.
void ApplyDetails(const std::string& place, const std::string& comment, WakeEntry& entry);

