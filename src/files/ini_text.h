// SimpleIni set up the way settings files need it: 8-bit text taken as it is, section
// and key names compared without regard to case, one value per key, stored order kept.
#pragma once

#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <string>
#include <string_view>

namespace quenda {

class IniText {
public:
    IniText();
    ~IniText();
    IniText(const IniText&) = delete;
    IniText& operator=(const IniText&) = delete;
    // False when the text cannot be taken in (SimpleIni only fails for lack of memory).
    bool load(std::string_view text);
    bool hasSection(const char* section) const;
    const char* value(const char* section, const char* key) const;
    bool set(const char* section, const char* key, const char* value);
    // Sections and keys in stored order, CR LF line ends, one empty line after each section.
    std::string text() const;

private:
    CSimpleIniA ini_;
};

} // namespace quenda
