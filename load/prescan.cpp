#include "load/prescan.h"

#include <algorithm>
#include <string>
#include <vector>

namespace load {

namespace {

constexpr bool isSpace(char c) {
    return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

constexpr bool isAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

constexpr char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// Running out of bytes anywhere ends the prescan without an answer.
struct OutOfBytes {};

struct Attribute {
    std::string name, value;
};

// The bytes of the prescan, read from a position that only moves forward.
class Stream {
public:
    explicit Stream(std::string_view bytes) : bytes_(bytes) {}

    char at() const {
        if (position_ >= bytes_.size())
            throw OutOfBytes{};
        return bytes_[position_];
    }
    void next() { ++position_; }

    bool startsWithAnyCase(std::string_view lowered) const {
        if (bytes_.size() - std::min(position_, bytes_.size()) < lowered.size())
            return false;
        for (std::size_t i = 0; i < lowered.size(); ++i)
            if (asciiLower(bytes_[position_ + i]) != lowered[i])
                return false;
        return true;
    }
    char peek(std::size_t ahead) const {
        return position_ + ahead < bytes_.size() ? bytes_[position_ + ahead] : '\0';
    }

    // Moves to the last byte of the first `what` that starts `from` places ahead or later.
    void skipPast(std::string_view what, std::size_t from) {
        const std::size_t found = bytes_.find(what, position_ + from);
        if (found == std::string_view::npos)
            throw OutOfBytes{};
        position_ = found + what.size() - 1;
    }

    // One attribute of a tag, its name and value lower-cased; none at the tag's ">".
    std::optional<Attribute> attribute() {
        while (isSpace(at()) || at() == '/')
            next();
        if (at() == '>')
            return std::nullopt;
        Attribute attribute;
        for (;; next()) {
            const char c = at();
            if (c == '=' && !attribute.name.empty()) {
                next();
                return valueOf(std::move(attribute));
            }
            if (isSpace(c))
                break;
            if (c == '/' || c == '>')
                return attribute;
            attribute.name += asciiLower(c);
        }
        while (isSpace(at()))
            next();
        if (at() != '=')
            return attribute;
        next();
        return valueOf(std::move(attribute));
    }

private:
    Attribute valueOf(Attribute attribute) {
        while (isSpace(at()))
            next();
        const char quote = at();
        if (quote == '"' || quote == '\'') {
            for (next(); at() != quote; next())
                attribute.value += asciiLower(at());
            next();
            return attribute;
        }
        if (quote == '>')
            return attribute;
        for (; !isSpace(at()) && at() != '>'; next())
            attribute.value += asciiLower(at());
        return attribute;
    }

    std::string_view bytes_;
    std::size_t position_ = 0;
};

// The encoding a content attribute names after "charset=", as in "text/html; charset=utf-8".
std::optional<Encoding> encodingOfContent(std::string_view content) {
    for (std::size_t at = 0;;) {
        at = content.find("charset", at);
        if (at == std::string_view::npos)
            return std::nullopt;
        at += 7;
        while (at < content.size() && isSpace(content[at]))
            ++at;
        if (at >= content.size() || content[at] != '=')
            continue;
        ++at;
        while (at < content.size() && isSpace(content[at]))
            ++at;
        if (at >= content.size())
            return std::nullopt;
        if (const char quote = content[at]; quote == '"' || quote == '\'') {
            const std::size_t end = content.find(quote, at + 1);
            if (end == std::string_view::npos)
                return std::nullopt;
            return encodingOfLabel(content.substr(at + 1, end - at - 1));
        }
        std::size_t end = at;
        while (end < content.size() && !isSpace(content[end]) && content[end] != ';')
            ++end;
        return encodingOfLabel(content.substr(at, end - at));
    }
}

// The declaration of one <meta>, read from just after "<meta".
std::optional<Encoding> declarationOf(Stream& stream) {
    std::vector<std::string> seen;
    bool gotPragma = false;
    std::optional<bool> needPragma;
    std::optional<Encoding> charset;
    bool charsetSet = false; // set by a content or a charset, even to an unknown label
    while (std::optional<Attribute> attribute = stream.attribute()) {
        if (std::find(seen.begin(), seen.end(), attribute->name) != seen.end())
            continue;
        seen.push_back(attribute->name);
        if (attribute->name == "http-equiv") {
            gotPragma = attribute->value == "content-type";
        } else if (attribute->name == "content") {
            if (const std::optional<Encoding> found = encodingOfContent(attribute->value);
                found && !charsetSet) {
                charset = found;
                charsetSet = true;
                needPragma = true;
            }
        } else if (attribute->name == "charset") {
            charset = encodingOfLabel(attribute->value);
            charsetSet = true;
            needPragma = false;
        }
    }
    if (!needPragma || (*needPragma && !gotPragma))
        return std::nullopt;
    return charset;
}

// The loop of the prescan, which ends only at a declaration or when the bytes run out.
Encoding declaredByMeta(std::string_view bytes) {
    for (Stream stream(bytes);; stream.next()) {
        if (stream.startsWithAnyCase("<!--")) {
            stream.skipPast("-->", 2); // "<!-->" is a whole comment
        } else if (stream.startsWithAnyCase("<meta") &&
                   (isSpace(stream.peek(5)) || stream.peek(5) == '/')) {
            for (int i = 0; i < 5; ++i)
                stream.next();
            if (const std::optional<Encoding> declared = declarationOf(stream))
                return *declared;
        } else if (stream.at() == '<' &&
                   (isAsciiLetter(stream.peek(1)) ||
                    (stream.peek(1) == '/' && isAsciiLetter(stream.peek(2))))) {
            while (!isSpace(stream.at()) && stream.at() != '>')
                stream.next();
            while (stream.attribute()) {
            }
        } else if (stream.startsWithAnyCase("<!") || stream.startsWithAnyCase("</") ||
                   stream.startsWithAnyCase("<?")) {
            stream.skipPast(">", 1);
        }
    }
}

// <?xml version="1.0" encoding="...">: what a browser falls back on when no <meta> declares.
std::optional<Encoding> xmlDeclared(std::string_view bytes) {
    if (!bytes.starts_with("<?xml"))
        return std::nullopt;
    const std::string_view declaration = bytes.substr(0, bytes.find('>'));
    if (declaration.size() == bytes.size())
        return std::nullopt;
    std::size_t at = declaration.find("encoding");
    const auto skipBlanks = [&] {
        while (at < declaration.size() && static_cast<unsigned char>(declaration[at]) <= 0x20)
            ++at;
    };
    if (at == std::string_view::npos)
        return std::nullopt;
    at += 8;
    skipBlanks();
    if (at >= declaration.size() || declaration[at] != '=')
        return std::nullopt;
    ++at;
    skipBlanks();
    if (at >= declaration.size() || (declaration[at] != '"' && declaration[at] != '\''))
        return std::nullopt;
    const std::size_t close = declaration.find(declaration[at], at + 1);
    if (close == std::string_view::npos)
        return std::nullopt;
    const std::string_view label = declaration.substr(at + 1, close - at - 1);
    if (std::any_of(label.begin(), label.end(),
                    [](char c) { return static_cast<unsigned char>(c) <= 0x20; }))
        return std::nullopt;
    return encodingOfLabel(label);
}

} // namespace

std::optional<Encoding> prescanEncoding(std::string_view bytes) {
    bytes = bytes.substr(0, PrescanBytes);
    // A page in UTF-16 without a byte order mark that opens with an XML declaration.
    if (bytes.starts_with(std::string_view("<\0?\0x\0", 6)))
        return Encoding::Utf16Le;
    if (bytes.starts_with(std::string_view("\0<\0?\0x", 6)))
        return Encoding::Utf16Be;
    std::optional<Encoding> declared;
    try {
        declared = declaredByMeta(bytes);
    } catch (const OutOfBytes&) {
        declared = xmlDeclared(bytes);
    }
    // The declaration was read as ASCII, so the page cannot be in UTF-16.
    if (declared == Encoding::Utf16Le || declared == Encoding::Utf16Be)
        return Encoding::Utf8;
    if (declared == Encoding::XUserDefined)
        return Encoding::Windows1252;
    return declared;
}

} // namespace load
