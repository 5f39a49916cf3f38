#include "load/reading.h"

#include "load/prescan.h"
#include "load/utf8.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <iconv.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace load {

namespace {

struct ByteOrderMark {
    std::string_view bytes;
    Encoding encoding;
};
constexpr std::array<ByteOrderMark, 3> ByteOrderMarks{{
    {"\xEF\xBB\xBF", Encoding::Utf8},
    {"\xFE\xFF", Encoding::Utf16Be},
    {"\xFF\xFE", Encoding::Utf16Le},
}};

// What decodes each encoding closest to the Encoding Standard: the converter of ICU, or for
// ISO-8859-16, which ICU lacks, of iconv. Among the single-byte encodings three bytes differ:
// 0xAA of windows-1253 reads as U+00AA, 0xCA of windows-1255 as U+FFFD, and 0xAE and 0xBE of
// KOI8-U as box drawings; the multi-byte ones differ in a few characters (a lone 0x80 of gb18030
// and Shift_JIS, 19 pairs of gb18030) and in what a sequence they do not hold becomes.
struct Decoder {
    const char* icu = nullptr;
    const char* iconv = nullptr;
    bool singleByte = true;
};

Decoder decoderOf(Encoding encoding) {
    switch (encoding) {
    case Encoding::Ibm866:
        return {"ibm-866_P100-1995"};
    case Encoding::Iso8859_2:
        return {"ibm-912_P100-1995"};
    case Encoding::Iso8859_3:
        return {"ibm-913_P100-2000"};
    case Encoding::Iso8859_4:
        return {"ibm-914_P100-1995"};
    case Encoding::Iso8859_5:
        return {"ibm-915_P100-1995"};
    case Encoding::Iso8859_6:
        return {"ibm-1089_P100-1995"};
    case Encoding::Iso8859_7:
        return {"ibm-9005_X110-2007"};
    case Encoding::Iso8859_8:
    case Encoding::Iso8859_8I: // the same characters, told apart only for the order shown
        return {"ibm-5012_P100-1999"};
    case Encoding::Iso8859_10:
        return {"iso-8859_10-1998"};
    case Encoding::Iso8859_13:
        return {"ibm-921_P100-1995"};
    case Encoding::Iso8859_14:
        return {"iso-8859_14-1998"};
    case Encoding::Iso8859_15:
        return {"ibm-923_P100-1998"};
    case Encoding::Iso8859_16:
        return {nullptr, "ISO-8859-16"};
    case Encoding::Koi8R:
        return {"ibm-878_P100-1996"};
    case Encoding::Koi8U:
        return {"ibm-1168_P100-2002"};
    case Encoding::Macintosh:
        return {"macos-0_2-10.2"};
    case Encoding::Windows874:
        return {"ibm-1162_P100-1999"};
    case Encoding::Windows1250:
        return {"ibm-5346_P100-1998"};
    case Encoding::Windows1251:
        return {"ibm-5347_P100-1998"};
    case Encoding::Windows1252:
    case Encoding::XUserDefined: // never declared as itself: a browser reads it as windows-1252
        return {"ibm-5348_P100-1997"};
    case Encoding::Windows1253:
        return {"ibm-5349_P100-1998"};
    case Encoding::Windows1254:
        return {"ibm-5350_P100-1998"};
    case Encoding::Windows1255:
        return {"ibm-9447_P100-2002"};
    case Encoding::Windows1256:
        return {"ibm-9448_X100-2005"};
    case Encoding::Windows1257:
        return {"ibm-9449_P100-2002"};
    case Encoding::Windows1258:
        return {"ibm-5354_P100-1998"};
    case Encoding::XMacCyrillic:
        return {"macos-7_3-10.2"};
    case Encoding::Gbk: // a browser decodes GBK as gb18030
    case Encoding::Gb18030:
        return {"gb18030", nullptr, false};
    case Encoding::Big5:
        return {"ibm-1375_P100-2008", nullptr, false};
    case Encoding::EucJp:
        return {"EUC-JP", nullptr, false};
    case Encoding::Iso2022Jp:
        return {"ISO-2022-JP", nullptr, false};
    case Encoding::ShiftJis:
        return {"ibm-943_P15A-2003", nullptr, false};
    case Encoding::EucKr:
        return {"windows-949-2000", nullptr, false};
    case Encoding::Utf16Be:
        return {"UTF-16BE", nullptr, false};
    case Encoding::Utf16Le:
        return {"UTF-16LE", nullptr, false};
    case Encoding::Utf8:
    case Encoding::Replacement:
        break;
    }
    return {nullptr, nullptr, false};
}

// Every sequence the encoding does not hold becomes one U+FFFD, where ICU's own substitute
// would be U+001A for some.
void replaceByU_FFFD(const void*, UConverterToUnicodeArgs* arguments, const char*, int32_t,
                     UConverterCallbackReason reason, UErrorCode* status) {
    if (reason > UCNV_IRREGULAR)
        return; // the converter being reset, closed or cloned
    *status = U_ZERO_ERROR;
    const UChar replacement = 0xFFFD;
    ucnv_cbToUWriteUChars(arguments, &replacement, 1, 0, status);
}

using IcuConverter = std::unique_ptr<UConverter, decltype(&ucnv_close)>;

IcuConverter openIcu(const char* name) {
    UErrorCode status = U_ZERO_ERROR;
    IcuConverter converter(ucnv_open(name, &status), ucnv_close);
    if (U_SUCCESS(status))
        ucnv_setToUCallBack(converter.get(), replaceByU_FFFD, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status))
        converter.reset();
    return converter;
}

// The characters of the bytes 0x80 to 0xFF, as the library decodes each alone.
std::optional<HighHalf> highHalfOf(const Decoder& decoder) {
    HighHalf high;
    std::array<char, 128> bytes;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(0x80 + i);
    if (decoder.icu) {
        const IcuConverter converter = openIcu(decoder.icu);
        if (!converter)
            return std::nullopt;
        UErrorCode status = U_ZERO_ERROR;
        const std::int32_t length =
            ucnv_toUChars(converter.get(), reinterpret_cast<UChar*>(high.data()),
                          static_cast<std::int32_t>(high.size()), bytes.data(),
                          static_cast<std::int32_t>(bytes.size()), &status);
        if (U_FAILURE(status) || length != static_cast<std::int32_t>(high.size()))
            return std::nullopt;
        return high;
    }
    const iconv_t converter = ::iconv_open("UTF-16LE", decoder.iconv);
    if (converter == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char* in = &bytes[i];
        std::size_t inLeft = 1;
        unsigned char utf16[4];
        char* out = reinterpret_cast<char*>(utf16);
        std::size_t outLeft = sizeof utf16;
        const bool decoded = ::iconv(converter, &in, &inLeft, &out, &outLeft) != std::size_t(-1) &&
                             outLeft == sizeof utf16 - 2;
        high[i] = decoded ? char16_t(utf16[0] | utf16[1] << 8) : char16_t(0xFFFD);
    }
    ::iconv_close(converter);
    return high;
}

// Bytes of a multi-byte encoding through ICU, straight into UTF-8 with a small buffer of UTF-16
// between. The bytes in `asItself`, which the encoding always reads as ASCII but ICU's converter
// moves to other controls, are written as they are.
std::optional<std::string> convertedToUtf8(std::string_view bytes, const char* name,
                                           std::string_view asItself) {
    const IcuConverter from = openIcu(name);
    const IcuConverter to = openIcu("UTF-8");
    if (!from || !to)
        return std::nullopt;
    std::string utf8(bytes.size() + bytes.size() / 2 + 16, '\0');
    std::size_t written = 0;
    while (!bytes.empty()) {
        const std::string_view part = bytes.substr(0, bytes.find_first_of(asItself));
        std::array<UChar, 4096> pivot;
        UChar* pivotSource = pivot.data();
        UChar* pivotTarget = pivot.data();
        const char* source = part.data();
        for (bool first = true;; first = false) {
            char* target = utf8.data() + written;
            UErrorCode status = U_ZERO_ERROR;
            ucnv_convertEx(to.get(), from.get(), &target, utf8.data() + utf8.size(), &source,
                           part.data() + part.size(), pivot.data(), &pivotSource, &pivotTarget,
                           pivot.data() + pivot.size(), first, true, &status);
            written = static_cast<std::size_t>(target - utf8.data());
            if (status != U_BUFFER_OVERFLOW_ERROR)
                break;
            utf8.resize(2 * utf8.size());
        }
        bytes.remove_prefix(part.size());
        if (!bytes.empty()) {
            if (written == utf8.size())
                utf8.resize(2 * utf8.size());
            utf8[written++] = bytes.front();
            bytes.remove_prefix(1);
        }
    }
    utf8.resize(written);
    return utf8;
}

} // namespace

Reading readingOf(std::string_view bytes) {
    for (const ByteOrderMark& mark : ByteOrderMarks)
        if (bytes.starts_with(mark.bytes))
            return {mark.encoding, Because::ByteOrderMark};
    if (const std::optional<Encoding> declared = prescanEncoding(bytes))
        return {*declared, Because::Declared};
    if (isValidUtf8(bytes))
        return {Encoding::Utf8, Because::ValidUtf8};
    return {Encoding::Windows1252, Because::NothingDeclared};
}

bool decodeToUtf8(std::string& bytes, const Reading& reading) {
    std::size_t mark = 0;
    if (reading.because == Because::ByteOrderMark)
        for (const ByteOrderMark& candidate : ByteOrderMarks)
            if (candidate.encoding == reading.encoding)
                mark = candidate.bytes.size();
    if (reading.encoding == Encoding::Utf8) {
        bytes.erase(0, mark);
        if (reading.because != Because::ValidUtf8)
            repairUtf8(bytes);
        return true;
    }
    if (reading.encoding == Encoding::Replacement) {
        // Encodings a browser refuses to read, for safety: the whole page is one U+FFFD.
        if (!bytes.empty())
            bytes = ReplacementCharacter;
        return true;
    }
    const Decoder decoder = decoderOf(reading.encoding);
    if (decoder.singleByte) {
        const std::optional<HighHalf> high = highHalfOf(decoder);
        if (high)
            singleByteToUtf8(bytes, *high);
        return high.has_value();
    }
    const std::string_view asItself = reading.encoding == Encoding::ShiftJis ? "\x1A\x1C\x7F" : "";
    std::optional<std::string> utf8 =
        convertedToUtf8(std::string_view(bytes).substr(mark), decoder.icu, asItself);
    if (utf8)
        bytes = std::move(*utf8);
    return utf8.has_value();
}

QString describe(const Reading& reading) {
    const QString encoding = QString::fromLatin1(nameOf(reading.encoding));
    switch (reading.because) {
    case Because::ByteOrderMark:
        return QStringLiteral("Read as %1, by its byte order mark").arg(encoding);
    case Because::Declared:
        return QStringLiteral("Read as %1, declared by the page").arg(encoding);
    case Because::ValidUtf8:
        return QStringLiteral("Read as %1: the bytes are valid UTF-8").arg(encoding);
    case Because::NothingDeclared:
        break;
    }
    return QStringLiteral("Read as %1: nothing declares another encoding").arg(encoding);
}

} // namespace load
