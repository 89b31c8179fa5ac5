#pragma once

// Splits a script source into tokens. Identifiers and keywords are matched without regard to ASCII letter
// case; string literals arrive with their quotes doubled back to one and their #nn character codes joined in.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kalmora::script {

enum class TTok : std::uint8_t {
    End,
    Identifier,
    Integer,
    Float,
    String,
    // punctuation
    Plus,
    Minus,
    Star,
    Slash,
    Equal,
    NotEqual,
    Less,
    LessEqual,
    Greater,
    GreaterEqual,
    LParen,
    RParen,
    LBracket,
    RBracket,
    Comma,
    Semicolon,
    Colon,
    Assign,
    Dot,
    DotDot,
    // keywords
    KwAnd,
    KwArray,
    KwBegin,
    KwBreak,
    KwCase,
    KwConst,
    KwContinue,
    KwDiv,
    KwDo,
    KwDownto,
    KwElse,
    KwEnd,
    KwExcept,
    KwExit,
    KwFalse,
    KwFinally,
    KwFor,
    KwForward,
    KwFunction,
    KwIf,
    KwIn,
    KwMod,
    KwNil,
    KwNot,
    KwOf,
    KwOn,
    KwOr,
    KwOut,
    KwProcedure,
    KwProgram,
    KwRaise,
    KwRepeat,
    KwShl,
    KwShr,
    KwThen,
    KwTo,
    KwTrue,
    KwTry,
    KwType,
    KwUntil,
    KwUses,
    KwVar,
    KwWhile,
    KwWith,
    KwXor,
};

struct TToken {
    TTok Kind = TTok::End;
    int Line = 1;
    int Column = 1;
    std::string Text;  // identifiers: as written; strings: the value
    std::string Lower; // identifiers and keywords: ASCII lower case
    std::int64_t IntValue = 0;
    double FloatValue = 0;
};

// The tokens of source, ending with one End token. Raises EScriptError at the first malformed token.
std::vector<TToken> Tokenize(std::string_view source);

// A readable name of a token kind for error texts ("';'", "'end'", "identifier").
std::string TokenName(TTok kind);

std::string LowerAscii(std::string_view text);
// True when text equals lower (already lower case) with ASCII letter case ignored.
bool LowerAsciiEquals(std::string_view text, std::string_view lower);

} // namespace kalmora::script
