#include "ScriptLexer.h"

#include "InterpreterProgram.h"

#include <cmath>
#include <cstdlib>
#include <utility>

namespace kalmora::script {
namespace {

struct TKeyword {
    std::string_view Name;
    TTok Kind;
};

constexpr TKeyword Keywords[] = {
    {"and", TTok::KwAnd},
    {"array", TTok::KwArray},
    {"begin", TTok::KwBegin},
    {"break", TTok::KwBreak},
    {"case", TTok::KwCase},
    {"const", TTok::KwConst},
    {"continue", TTok::KwContinue},
    {"div", TTok::KwDiv},
    {"do", TTok::KwDo},
    {"downto", TTok::KwDownto},
    {"else", TTok::KwElse},
    {"end", TTok::KwEnd},
    {"except", TTok::KwExcept},
    {"exit", TTok::KwExit},
    {"false", TTok::KwFalse},
    {"finally", TTok::KwFinally},
    {"for", TTok::KwFor},
    {"forward", TTok::KwForward},
    {"function", TTok::KwFunction},
    {"if", TTok::KwIf},
    {"in", TTok::KwIn},
    {"mod", TTok::KwMod},
    {"nil", TTok::KwNil},
    {"not", TTok::KwNot},
    {"of", TTok::KwOf},
    {"on", TTok::KwOn},
    {"or", TTok::KwOr},
    {"out", TTok::KwOut},
    {"procedure", TTok::KwProcedure},
    {"program", TTok::KwProgram},
    {"raise", TTok::KwRaise},
    {"repeat", TTok::KwRepeat},
    {"shl", TTok::KwShl},
    {"shr", TTok::KwShr},
    {"then", TTok::KwThen},
    {"to", TTok::KwTo},
    {"true", TTok::KwTrue},
    {"try", TTok::KwTry},
    {"type", TTok::KwType},
    {"until", TTok::KwUntil},
    {"uses", TTok::KwUses},
    {"var", TTok::KwVar},
    {"while", TTok::KwWhile},
    {"with", TTok::KwWith},
    {"xor", TTok::KwXor},
};

bool IsIdentStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

class TLexer {
public:
    explicit TLexer(std::string_view source) : FSrc(source) {}

    std::vector<TToken> Run() {
        std::vector<TToken> tokens;
        for (;;) {
            SkipBlanksAndComments();
            TToken token;
            token.Line = FLine;
            token.Column = Column();
            if (FPos >= FSrc.size()) {
                tokens.push_back(std::move(token));
                return tokens;
            }
            Read(token);
            tokens.push_back(std::move(token));
        }
    }

private:
    int Column() const { return static_cast<int>(FPos - FLineStart) + 1; }

    [[noreturn]] void Fail(const std::string& message, int line, int column) const {
        throw EScriptError(message, line, column);
    }

    char At(std::size_t pos) const { return pos < FSrc.size() ? FSrc[pos] : '\0'; }

    void NewLine() {
        ++FLine;
        FLineStart = FPos;
    }

    void SkipBlanksAndComments() {
        while (FPos < FSrc.size()) {
            char c = FSrc[FPos];
            if (c == '\n') {
                ++FPos;
                NewLine();
            } else if (static_cast<unsigned char>(c) <= ' ') {
                ++FPos;
            } else if (c == '/' && At(FPos + 1) == '/') {
                while (FPos < FSrc.size() && FSrc[FPos] != '\n')
                    ++FPos;
            } else if (c == '{') {
                SkipUntil("}", 1);
            } else if (c == '(' && At(FPos + 1) == '*') {
                SkipUntil("*)", 2);
            } else {
                return;
            }
        }
    }

    void SkipUntil(std::string_view close, std::size_t openLength) {
        int line = FLine, column = Column();
        FPos += openLength;
        while (FPos < FSrc.size()) {
            if (FSrc.compare(FPos, close.size(), close) == 0) {
                FPos += close.size();
                return;
            }
            if (FSrc[FPos++] == '\n')
                NewLine();
        }
        Fail("Unterminated comment", line, column);
    }

    void Read(TToken& token) {
        char c = FSrc[FPos];
        if (IsIdentStart(c))
            return ReadWord(token);
        if (IsDigit(c) || c == '$')
            return ReadNumber(token);
        if (c == '\'' || c == '#')
            return ReadString(token);
        ReadSymbol(token);
    }

    void ReadWord(TToken& token) {
        std::size_t start = FPos;
        while (FPos < FSrc.size() && (IsIdentStart(FSrc[FPos]) || IsDigit(FSrc[FPos])))
            ++FPos;
        token.Text.assign(FSrc.substr(start, FPos - start));
        token.Lower = LowerAscii(token.Text);
        token.Kind = TTok::Identifier;
        for (const TKeyword& keyword : Keywords)
            if (keyword.Name == token.Lower) {
                token.Kind = keyword.Kind;
                break;
            }
    }

    void ReadNumber(TToken& token) {
        std::size_t start = FPos;
        if (FSrc[FPos] == '$') {
            ++FPos;
            std::uint64_t value = 0;
            if (!IsHexDigit(At(FPos)))
                Fail("Hexadecimal digits expected", token.Line, token.Column);
            while (IsHexDigit(At(FPos))) {
                char d = FSrc[FPos++];
                int digit = IsDigit(d) ? d - '0' : (d | 0x20) - 'a' + 10;
                value = value * 16 + static_cast<std::uint64_t>(digit);
                if (value > 0xFFFFFFFFull)
                    Fail("Integer constant too large", token.Line, token.Column);
            }
            token.Kind = TTok::Integer;
            // $FFFFFFFF is -1, as a 32-bit Integer holds it.
            token.IntValue = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
            return;
        }
        while (IsDigit(At(FPos)))
            ++FPos;
        bool isFloat = false;
        if (At(FPos) == '.' && IsDigit(At(FPos + 1))) {
            isFloat = true;
            ++FPos;
            while (IsDigit(At(FPos)))
                ++FPos;
        }
        if ((At(FPos) == 'e' || At(FPos) == 'E') &&
            (IsDigit(At(FPos + 1)) ||
             ((At(FPos + 1) == '+' || At(FPos + 1) == '-') && IsDigit(At(FPos + 2))))) {
            isFloat = true;
            FPos += 2;
            while (IsDigit(At(FPos)))
                ++FPos;
        }
        std::string text(FSrc.substr(start, FPos - start));
        if (IsIdentStart(At(FPos)))
            Fail("Invalid number '" + text + FSrc[FPos] + "'", token.Line, token.Column);
        if (!isFloat && text.size() <= 10) {
            std::int64_t value = std::strtoll(text.c_str(), nullptr, 10);
            if (value <= 0x7FFFFFFF) {
                token.Kind = TTok::Integer;
                token.IntValue = value;
                return;
            }
        }
        // Integers beyond 32 bits become floats, as large literals do in variant arithmetic.
        token.Kind = TTok::Float;
        token.FloatValue = std::strtod(text.c_str(), nullptr);
        if (!std::isfinite(token.FloatValue))
            Fail("Numeric constant out of range", token.Line, token.Column);
    }

    void ReadString(TToken& token) {
        token.Kind = TTok::String;
        while (FPos < FSrc.size()) {
            char c = FSrc[FPos];
            if (c == '\'') {
                ++FPos;
                for (;;) {
                    if (FPos >= FSrc.size() || FSrc[FPos] == '\n')
                        Fail("Unterminated string", token.Line, token.Column);
                    char d = FSrc[FPos++];
                    if (d == '\'') {
                        if (At(FPos) != '\'')
                            break;
                        ++FPos;
                    }
                    token.Text += d;
                }
            } else if (c == '#') {
                ++FPos;
                unsigned value = 0;
                bool hex = At(FPos) == '$';
                if (hex)
                    ++FPos;
                if (hex ? !IsHexDigit(At(FPos)) : !IsDigit(At(FPos)))
                    Fail("Character code expected after '#'", FLine, Column());
                while (hex ? IsHexDigit(At(FPos)) : IsDigit(At(FPos))) {
                    char d = FSrc[FPos++];
                    unsigned digit = IsDigit(d) ? static_cast<unsigned>(d - '0')
                                                : static_cast<unsigned>((d | 0x20) - 'a' + 10);
                    value = value * (hex ? 16u : 10u) + digit;
                    if (value > 255)
                        Fail("Character code out of range", token.Line, token.Column);
                }
                token.Text += static_cast<char>(value);
            } else {
                return;
            }
        }
    }

    void ReadSymbol(TToken& token) {
        char c = FSrc[FPos];
        char n = At(FPos + 1);
        auto two = [&](TTok kind) {
            FPos += 2;
            token.Kind = kind;
        };
        auto one = [&](TTok kind) {
            FPos += 1;
            token.Kind = kind;
        };
        switch (c) {
        case '+':
            return one(TTok::Plus);
        case '-':
            return one(TTok::Minus);
        case '*':
            return one(TTok::Star);
        case '/':
            return one(TTok::Slash);
        case '=':
            return one(TTok::Equal);
        case '<':
            if (n == '>')
                return two(TTok::NotEqual);
            if (n == '=')
                return two(TTok::LessEqual);
            return one(TTok::Less);
        case '>':
            if (n == '=')
                return two(TTok::GreaterEqual);
            return one(TTok::Greater);
        case '(':
            return one(TTok::LParen);
        case ')':
            return one(TTok::RParen);
        case '[':
            return one(TTok::LBracket);
        case ']':
            return one(TTok::RBracket);
        case ',':
            return one(TTok::Comma);
        case ';':
            return one(TTok::Semicolon);
        case ':':
            if (n == '=')
                return two(TTok::Assign);
            return one(TTok::Colon);
        case '.':
            if (n == '.')
                return two(TTok::DotDot);
            return one(TTok::Dot);
        default:
            break;
        }
        unsigned char u = static_cast<unsigned char>(c);
        std::string shown = u >= 32 && u < 127 ? std::string(1, c) : "#" + std::to_string(u);
        Fail("Illegal character '" + shown + "'", token.Line, token.Column);
    }

    std::string_view FSrc;
    std::size_t FPos = 0;
    std::size_t FLineStart = 0;
    int FLine = 1;
};

} // namespace

std::string LowerAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return result;
}

bool LowerAsciiEquals(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
        if (c != lower[i])
            return false;
    }
    return true;
}

std::vector<TToken> Tokenize(std::string_view source) {
    return TLexer(source).Run();
}

std::string TokenName(TTok kind) {
    switch (kind) {
    case TTok::End:
        return "end of source";
    case TTok::Identifier:
        return "identifier";
    case TTok::Integer:
    case TTok::Float:
        return "number";
    case TTok::String:
        return "string";
    case TTok::Plus:
        return "'+'";
    case TTok::Minus:
        return "'-'";
    case TTok::Star:
        return "'*'";
    case TTok::Slash:
        return "'/'";
    case TTok::Equal:
        return "'='";
    case TTok::NotEqual:
        return "'<>'";
    case TTok::Less:
        return "'<'";
    case TTok::LessEqual:
        return "'<='";
    case TTok::Greater:
        return "'>'";
    case TTok::GreaterEqual:
        return "'>='";
    case TTok::LParen:
        return "'('";
    case TTok::RParen:
        return "')'";
    case TTok::LBracket:
        return "'['";
    case TTok::RBracket:
        return "']'";
    case TTok::Comma:
        return "','";
    case TTok::Semicolon:
        return "';'";
    case TTok::Colon:
        return "':'";
    case TTok::Assign:
        return "':='";
    case TTok::Dot:
        return "'.'";
    case TTok::DotDot:
        return "'..'";
    default:
        break;
    }
    for (const TKeyword& keyword : Keywords)
        if (keyword.Kind == kind)
            return "'" + std::string(keyword.Name) + "'";
    return "token";
}

} // namespace kalmora::script
