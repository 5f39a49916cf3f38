#include "load/encodings.h"

#include <array>

namespace load {

namespace {

struct Labels {
    Encoding encoding;
    std::string_view name;
    std::string_view labels; // separated by spaces
};

// The Encoding Standard's table of names and labels.
constexpr std::array<Labels, 40> Table{{
    {Encoding::Utf8, "UTF-8",
     "unicode-1-1-utf-8 unicode11utf8 unicode20utf8 utf-8 utf8 x-unicode20utf8"},
    {Encoding::Ibm866, "IBM866", "866 cp866 csibm866 ibm866"},
    {Encoding::Iso8859_2, "ISO-8859-2",
     "csisolatin2 iso-8859-2 iso-ir-101 iso8859-2 iso88592 iso_8859-2 iso_8859-2:1987 l2 latin2"},
    {Encoding::Iso8859_3, "ISO-8859-3",
     "csisolatin3 iso-8859-3 iso-ir-109 iso8859-3 iso88593 iso_8859-3 iso_8859-3:1988 l3 latin3"},
    {Encoding::Iso8859_4, "ISO-8859-4",
     "csisolatin4 iso-8859-4 iso-ir-110 iso8859-4 iso88594 iso_8859-4 iso_8859-4:1988 l4 latin4"},
    {Encoding::Iso8859_5, "ISO-8859-5",
     "csisolatincyrillic cyrillic iso-8859-5 iso-ir-144 iso8859-5 iso88595 iso_8859-5 "
     "iso_8859-5:1988"},
    {Encoding::Iso8859_6, "ISO-8859-6",
     "arabic asmo-708 csiso88596e csiso88596i csisolatinarabic ecma-114 iso-8859-6 iso-8859-6-e "
     "iso-8859-6-i iso-ir-127 iso8859-6 iso88596 iso_8859-6 iso_8859-6:1987"},
    {Encoding::Iso8859_7, "ISO-8859-7",
     "csisolatingreek ecma-118 elot_928 greek greek8 iso-8859-7 iso-ir-126 iso8859-7 iso88597 "
     "iso_8859-7 iso_8859-7:1987 sun_eu_greek"},
    {Encoding::Iso8859_8, "ISO-8859-8",
     "csiso88598e csisolatinhebrew hebrew iso-8859-8 iso-8859-8-e iso-ir-138 iso8859-8 iso88598 "
     "iso_8859-8 iso_8859-8:1988 visual"},
    {Encoding::Iso8859_8I, "ISO-8859-8-I", "csiso88598i iso-8859-8-i logical"},
    {Encoding::Iso8859_10, "ISO-8859-10",
     "csisolatin6 iso-8859-10 iso-ir-157 iso8859-10 iso885910 l6 latin6"},
    {Encoding::Iso8859_13, "ISO-8859-13", "iso-8859-13 iso8859-13 iso885913"},
    {Encoding::Iso8859_14, "ISO-8859-14", "iso-8859-14 iso8859-14 iso885914"},
    {Encoding::Iso8859_15, "ISO-8859-15",
     "csisolatin9 iso-8859-15 iso8859-15 iso885915 iso_8859-15 l9"},
    {Encoding::Iso8859_16, "ISO-8859-16", "iso-8859-16"},
    {Encoding::Koi8R, "KOI8-R", "cskoi8r koi koi8 koi8-r koi8_r"},
    {Encoding::Koi8U, "KOI8-U", "koi8-ru koi8-u"},
    {Encoding::Macintosh, "macintosh", "csmacintosh mac macintosh x-mac-roman"},
    {Encoding::Windows874, "windows-874",
     "dos-874 iso-8859-11 iso8859-11 iso885911 tis-620 windows-874"},
    {Encoding::Windows1250, "windows-1250", "cp1250 windows-1250 x-cp1250"},
    {Encoding::Windows1251, "windows-1251", "cp1251 windows-1251 x-cp1251"},
    {Encoding::Windows1252, "windows-1252",
     "ansi_x3.4-1968 ascii cp1252 cp819 csisolatin1 ibm819 iso-8859-1 iso-ir-100 iso8859-1 "
     "iso88591 iso_8859-1 iso_8859-1:1987 l1 latin1 us-ascii windows-1252 x-cp1252"},
    {Encoding::Windows1253, "windows-1253", "cp1253 windows-1253 x-cp1253"},
    {Encoding::Windows1254, "windows-1254",
     "cp1254 csisolatin5 iso-8859-9 iso-ir-148 iso8859-9 iso88599 iso_8859-9 iso_8859-9:1989 l5 "
     "latin5 windows-1254 x-cp1254"},
    {Encoding::Windows1255, "windows-1255", "cp1255 windows-1255 x-cp1255"},
    {Encoding::Windows1256, "windows-1256", "cp1256 windows-1256 x-cp1256"},
    {Encoding::Windows1257, "windows-1257", "cp1257 windows-1257 x-cp1257"},
    {Encoding::Windows1258, "windows-1258", "cp1258 windows-1258 x-cp1258"},
    {Encoding::XMacCyrillic, "x-mac-cyrillic", "x-mac-cyrillic x-mac-ukrainian"},
    {Encoding::Gbk, "GBK",
     "chinese csgb2312 csiso58gb231280 gb2312 gb_2312 gb_2312-80 gbk iso-ir-58 x-gbk"},
    {Encoding::Gb18030, "gb18030", "gb18030"},
    {Encoding::Big5, "Big5", "big5 big5-hkscs cn-big5 csbig5 x-x-big5"},
    {Encoding::EucJp, "EUC-JP", "cseucpkdfmtjapanese euc-jp x-euc-jp"},
    {Encoding::Iso2022Jp, "ISO-2022-JP", "csiso2022jp iso-2022-jp"},
    {Encoding::ShiftJis, "Shift_JIS",
     "csshiftjis ms932 ms_kanji shift-jis shift_jis sjis windows-31j x-sjis"},
    {Encoding::EucKr, "EUC-KR",
     "cseuckr csksc56011987 euc-kr iso-ir-149 korean ks_c_5601-1987 ks_c_5601-1989 ksc5601 "
     "ksc_5601 windows-949"},
    {Encoding::Replacement, "replacement",
     "csiso2022kr hz-gb-2312 iso-2022-cn iso-2022-cn-ext iso-2022-kr replacement"},
    {Encoding::Utf16Be, "UTF-16BE", "unicodefffe utf-16be"},
    {Encoding::Utf16Le, "UTF-16LE",
     "csunicode iso-10646-ucs-2 ucs-2 unicode unicodefeff utf-16 utf-16le"},
    {Encoding::XUserDefined, "x-user-defined", "x-user-defined"},
}};

constexpr bool isAsciiWhitespace(char c) {
    return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

constexpr char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool sameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != b[i])
            return false;
    return true;
}

} // namespace

std::string_view nameOf(Encoding encoding) {
    return Table[static_cast<std::size_t>(encoding)].name;
}

std::optional<Encoding> encodingOfLabel(std::string_view label) {
    while (!label.empty() && isAsciiWhitespace(label.front()))
        label.remove_prefix(1);
    while (!label.empty() && isAsciiWhitespace(label.back()))
        label.remove_suffix(1);
    for (const Labels& entry : Table) {
        std::string_view rest = entry.labels;
        while (!rest.empty()) {
            const std::size_t space = rest.find(' ');
            if (sameIgnoringAsciiCase(label, rest.substr(0, space)))
                return entry.encoding;
            rest.remove_prefix(space == std::string_view::npos ? rest.size() : space + 1);
        }
    }
    return std::nullopt;
}

} // namespace load
