// The values of string literals and text blocks, made from the token's text on request:
// escapes translated and, in a text block, line ends made LF and incidental white space
// stripped.

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "ornith/lexer/VQJavaLexerInternal.h"

namespace ornith::java_lexer {

namespace {

bool isJavaWhitespace(char16_t u) {
    return u == ' ' || (u >= 0x09 && u <= 0x0D) || (u >= 0x1C && u <= 0x1F) || u == 0x1680 ||
           (u >= 0x2000 && u <= 0x2006) || (u >= 0x2008 && u <= 0x200A) || u == 0x2028 ||
           u == 0x2029 || u == 0x205F || u == 0x3000;
}

// A text block's content with incidental white space removed, as String.stripIndent does:
// the smallest indentation of the non-blank lines (and of the closing line, when the
// content ends on it) comes off every line, and trailing white space off each line.
std::u16string stripIndent(const std::u16string& content) {
    if (content.empty()) return content;
    std::vector<std::u16string_view> lines;
    std::u16string_view rest(content);
    while (!rest.empty()) {
        size_t end = rest.find(u'\n');
        if (end == std::u16string_view::npos) {
            lines.push_back(rest);
            break;
        }
        lines.push_back(rest.substr(0, end));
        rest.remove_prefix(end + 1);
    }
    const bool endsWithLineEnd = content.back() == u'\n';
    auto leading = [](std::u16string_view line) {
        size_t i = 0;
        while (i < line.size() && isJavaWhitespace(line[i])) ++i;
        return i;
    };
    size_t outdent = 0;
    if (!endsWithLineEnd) {
        outdent = SIZE_MAX;
        for (std::u16string_view line : lines) {
            size_t blanks = leading(line);
            if (blanks != line.size() && blanks < outdent) outdent = blanks;
        }
        std::u16string_view lastLine = lines.back();
        if (leading(lastLine) == lastLine.size() && lastLine.size() < outdent)
            outdent = lastLine.size();
    }
    std::u16string out;
    out.reserve(content.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        std::u16string_view line = lines[i];
        size_t first = leading(line);
        size_t last = line.size();
        while (last > 0 && isJavaWhitespace(line[last - 1])) --last;
        if (i > 0) out.push_back(u'\n');
        if (first < last) {
            size_t from = first < outdent ? first : outdent;
            out.append(line.substr(from, last - from));
        }
    }
    if (endsWithLineEnd) out.push_back(u'\n');
    return out;
}

// Escapes made into their characters, as String.translateEscapes does; a backslash before
// a line end goes with the line end.
void translateEscapes(std::u16string_view in, std::u16string& out) {
    for (size_t i = 0; i < in.size(); ++i) {
        char16_t c = in[i];
        if (c != u'\\' || i + 1 == in.size()) {
            out.push_back(c);
            continue;
        }
        c = in[++i];
        switch (c) {
            case u'b':
                out.push_back(8);
                break;
            case u't':
                out.push_back(9);
                break;
            case u'n':
                out.push_back(10);
                break;
            case u'f':
                out.push_back(12);
                break;
            case u'r':
                out.push_back(13);
                break;
            case u's':
                out.push_back(32);
                break;
            case u'\n':
                break;
            case u'\r':
                if (i + 1 < in.size() && in[i + 1] == u'\n') ++i;
                break;
            default:
                if (c >= u'0' && c <= u'7') {
                    int value = c - u'0';
                    size_t limit = i + (c <= u'3' ? 2 : 1);
                    while (i + 1 < in.size() && i < limit && in[i + 1] >= u'0' && in[i + 1] <= u'7')
                        value = value * 8 + (in[++i] - u'0');
                    out.push_back(static_cast<char16_t>(value));
                } else {
                    // \" \' \\ and, in a bad literal, anything else stands for itself.
                    out.push_back(c);
                }
                break;
        }
    }
}

}  // namespace

const char16_t* makeStringValue(VQJavaLexer* lexer, uint32_t* length) {
    *length = 0;
    const int kind = lexer->_kind;
    if (kind != VQJavaTokenStringLiteral && kind != VQJavaTokenTextBlock) return nullptr;
    std::u16string_view text(lexer->text, lexer->textLength);
    std::u16string value;
    if (kind == VQJavaTokenStringLiteral) {
        if (text.size() < 2) return nullptr;
        translateEscapes(text.substr(1, text.size() - 2), value);
    } else {
        // Past the opening quotes, blanks and line end; line ends made LF.
        size_t at = 3;
        while (at < text.size() && (text[at] == u' ' || text[at] == u'\t' || text[at] == u'\f'))
            ++at;
        if (at < text.size() && text[at] == u'\r') ++at;
        if (at < text.size() && text[at] == u'\n') ++at;
        std::u16string content;
        const size_t end = text.size() >= at + 3 ? text.size() - 3 : at;
        for (size_t i = at; i < end; ++i) {
            if (text[i] == u'\r') {
                content.push_back(u'\n');
                if (i + 1 < end && text[i + 1] == u'\n') ++i;
            } else {
                content.push_back(text[i]);
            }
        }
        translateEscapes(stripIndent(content), value);
    }
    if (value.size() > lexer->_valueCapacity)
        lexer_detail::growUnits(lexer->_value, lexer->_valueCapacity, value.size(), kMaxTextUnits,
                                0);
    if (value.size() > lexer->_valueCapacity) return nullptr;
    std::copy(value.begin(), value.end(), lexer->_value);
    lexer->_valueLength = static_cast<uint32_t>(value.size());
    *length = lexer->_valueLength;
    return lexer->_value != nullptr ? lexer->_value : u"";
}

}  // namespace ornith::java_lexer
