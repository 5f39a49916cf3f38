#include "load/reading.h"

#include "load/prescan.h"
#include "load/utf8.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <array>
#include <memory>

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

// What ICU calls each encoding it decodes for us, as the Encoding Standard defines them.
const char* converterOf(Encoding encoding) {
    switch (encoding) {
    case Encoding::Ibm866:
        return "ibm-866_P100-1995";
    case Encoding::Iso8859_2:
        return "ISO-8859-2";
    case Encoding::Iso8859_3:
        return "ISO-8859-3";
    case Encoding::Iso8859_4:
        return "ISO-8859-4";
    case Encoding::Iso8859_5:
        return "ISO-8859-5";
    case Encoding::Iso8859_6:
        return "ISO-8859-6";
    case Encoding::Iso8859_7:
        return "ISO-8859-7";
    case Encoding::Iso8859_8:
    case Encoding::Iso8859_8I: // the same characters, told apart only for display order
        return "ISO-8859-8";
    case Encoding::Iso8859_10:
        return "ISO-8859-10";
    case Encoding::Iso8859_13:
        return "ISO-8859-13";
    case Encoding::Iso8859_14:
        return "ISO-8859-14";
    case Encoding::Iso8859_15:
        return "ISO-8859-15";
    case Encoding::Iso8859_16:
        return "iso-8859_16-2001";
    case Encoding::Koi8R:
        return "KOI8-R";
    case Encoding::Koi8U:
        return "KOI8-U";
    case Encoding::Macintosh:
        return "macintosh";
    case Encoding::Windows874:
        return "windows-874";
    case Encoding::Windows1250:
        return "windows-1250";
    case Encoding::Windows1251:
        return "windows-1251";
    case Encoding::Windows1253:
        return "windows-1253";
    case Encoding::Windows1254:
        return "windows-1254";
    case Encoding::Windows1255:
        return "windows-1255";
    case Encoding::Windows1256:
        return "windows-1256";
    case Encoding::Windows1257:
        return "windows-1257";
    case Encoding::Windows1258:
        return "windows-1258";
    case Encoding::XMacCyrillic:
        return "x-mac-cyrillic";
    case Encoding::Gbk: // a browser decodes GBK as gb18030
    case Encoding::Gb18030:
        return "gb18030";
    case Encoding::Big5:
        return "Big5-HKSCS";
    case Encoding::EucJp:
        return "EUC-JP";
    case Encoding::Iso2022Jp:
        return "ISO-2022-JP";
    case Encoding::ShiftJis:
        return "windows-31j";
    case Encoding::EucKr:
        return "windows-949";
    case Encoding::Utf16Be:
        return "UTF-16BE";
    case Encoding::Utf16Le:
        return "UTF-16LE";
    case Encoding::Utf8:
    case Encoding::Windows1252:
    case Encoding::Replacement:
    case Encoding::XUserDefined:
        break;
    }
    return nullptr;
}

// Every sequence the encoding does not hold becomes one U+FFFD, whatever the converter's own
// substitute would be.
void replaceByU_FFFD(const void*, UConverterToUnicodeArgs* arguments, const char*, int32_t,
                     UConverterCallbackReason reason, UErrorCode* status) {
    if (reason > UCNV_IRREGULAR)
        return; // the converter being reset, closed or cloned
    *status = U_ZERO_ERROR;
    const UChar replacement = 0xFFFD;
    ucnv_cbToUWriteUChars(arguments, &replacement, 1, 0, status);
}

using Converter = std::unique_ptr<UConverter, decltype(&ucnv_close)>;

Converter open(const char* name) {
    UErrorCode status = U_ZERO_ERROR;
    Converter converter(ucnv_open(name, &status), ucnv_close);
    if (U_FAILURE(status))
        converter.reset();
    return converter;
}

// The bytes through ICU, straight into UTF-8 with a small buffer of UTF-16 between.
std::string convertedToUtf8(std::string_view bytes, const char* name) {
    const Converter from = open(name);
    const Converter to = open("UTF-8");
    UErrorCode status = U_ZERO_ERROR;
    if (from)
        ucnv_setToUCallBack(from.get(), replaceByU_FFFD, nullptr, nullptr, nullptr, &status);
    if (!from || !to || U_FAILURE(status)) // only if ICU's data lacks the encoding
        return std::string(ReplacementCharacter);
    std::string utf8(bytes.size() + bytes.size() / 2 + 16, '\0');
    std::array<UChar, 4096> pivot;
    UChar* pivotSource = pivot.data();
    UChar* pivotTarget = pivot.data();
    const char* source = bytes.data();
    std::size_t written = 0;
    for (bool first = true;; first = false) {
        char* target = utf8.data() + written;
        status = U_ZERO_ERROR;
        ucnv_convertEx(to.get(), from.get(), &target, utf8.data() + utf8.size(), &source,
                       bytes.data() + bytes.size(), pivot.data(), &pivotSource, &pivotTarget,
                       pivot.data() + pivot.size(), first, true, &status);
        written = static_cast<std::size_t>(target - utf8.data());
        if (status != U_BUFFER_OVERFLOW_ERROR)
            break;
        utf8.resize(2 * utf8.size());
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

void decodeToUtf8(std::string& bytes, const Reading& reading) {
    if (reading.because == Because::ByteOrderMark)
        for (const ByteOrderMark& mark : ByteOrderMarks)
            if (mark.encoding == reading.encoding)
                bytes.erase(0, mark.bytes.size());
    switch (reading.encoding) {
    case Encoding::Utf8:
        if (reading.because != Because::ValidUtf8)
            repairUtf8(bytes);
        return;
    case Encoding::Windows1252:
    case Encoding::XUserDefined: // never declared as itself: a browser reads it as windows-1252
        windows1252ToUtf8(bytes);
        return;
    case Encoding::Replacement:
        // Encodings a browser refuses to read, for safety: the whole page is one U+FFFD.
        if (!bytes.empty())
            bytes = ReplacementCharacter;
        return;
    default:
        bytes = convertedToUtf8(bytes, converterOf(reading.encoding));
    }
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
