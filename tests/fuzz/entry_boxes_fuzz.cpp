// The entry dialog's box rules over arbitrary texts: the MAC and port boxes
// read back what they show, the text cut never splits a character, and an
// apply keeps every text inside its field.
#include <cstring>

#include "FuzzCheck.h"
#include "entries/EntryFields.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const std::string macText = in.Line();
    const std::string portText = in.Line();
    const uint32_t number = in.U32();
    const std::string name = in.Line();
    const std::string rest = in.Rest();

    // Parse of a shown value gives the value back.
    const uint8_t octet = ParseMacBox(macText.c_str());
    FUZZ_CHECK(ParseMacBox(MacBoxText(octet).c_str()) == octet);
    FUZZ_CHECK(MacBoxText(octet).size() == 2);
    const int32_t port = ParsePortBox(portText.c_str());
    FUZZ_CHECK(ParsePortBox(PortBoxText(port).c_str()) == port);
    FUZZ_CHECK(ParsePortBox(PortBoxText(static_cast<int32_t>(number)).c_str()) == static_cast<int32_t>(number));

    uint8_t octets[4];
    PackAddress(number, octets);
    FUZZ_CHECK(AddressControlValue(octets) == number);

    for (size_t limit : {size_t(0), size_t(1), size_t(2), size_t(kNameBoxLimit), size_t(kTextBoxLimit)}) {
        const std::string fitted = FitText(rest, limit);
        FUZZ_CHECK(fitted.size() <= limit);
        FUZZ_CHECK(rest.compare(0, fitted.size(), fitted) == 0);
        if (fitted.size() < rest.size()) FUZZ_CHECK(OccursWhole(rest.substr(0, fitted.size() + 1), fitted));
    }

    WakeEntry entry;
    std::memset(&entry, 0x5A, sizeof entry);
    DestinationBoxes boxes;
    boxes.name = name;
    boxes.hostName = rest;
    boxes.port = portText;
    boxes.mac[0] = macText;
    boxes.ipAddress = number;
    ApplyDestination(boxes, entry);
    ApplyDetails(rest, name, entry);
    FUZZ_CHECK(std::memchr(entry.name, 0, sizeof entry.name) != nullptr);
    FUZZ_CHECK(std::memchr(entry.hostName, 0, sizeof entry.hostName) != nullptr);
    FUZZ_CHECK(std::memchr(entry.place, 0, sizeof entry.place) != nullptr);
    FUZZ_CHECK(std::memchr(entry.comment, 0, sizeof entry.comment) != nullptr);
    FUZZ_CHECK(entry.macAddress[0] == octet);
    FUZZ_CHECK(entry.port == port);
    return 0;
}
