#pragma once

// The value type that scripts and host functions exchange. Empty, Boolean, 32-bit integer, 64-bit float,
// currency and date-time live inside the variant without any heap allocation; text and arrays own their
// storage and are copied with the variant (assigning a variant never shares mutable state). An array keeps
// the index of its first element (0 unless a script declared other bounds).

#include "ScriptObject.h"

#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace kalmora {

enum class TVarType : std::uint8_t { Empty, Boolean, Integer, Double, Currency, Date, String, Object, Array };

struct TArrayBox;

class Variant {
public:
    Variant() noexcept : FType(TVarType::Empty) { FCurrency = 0; }
    Variant(bool value) noexcept : FType(TVarType::Boolean) { FBool = value; }
    Variant(int value) noexcept : FType(TVarType::Integer) { FInt = value; }
    Variant(double value) noexcept : FType(TVarType::Double) { FDouble = value; }
    Variant(const char* value) : FType(TVarType::String) { new (&FString) std::string(value); }
    Variant(std::string value) : FType(TVarType::String) { new (&FString) std::string(std::move(value)); }
    Variant(std::string_view value) : FType(TVarType::String) { new (&FString) std::string(value); }
    Variant(std::vector<Variant> items, int low = 0);
    // The plain kinds are copied, moved and dropped inline: script code does that for every value it touches.
    Variant(const Variant& other) {
        if (other.FType < TVarType::String) {
            FType = other.FType;
            FCurrency = other.FCurrency;
        } else {
            FType = TVarType::Empty;
            CopyFrom(other);
        }
    }
    Variant(Variant&& other) noexcept { MoveFrom(other); }
    Variant& operator=(const Variant& other) {
        if (other.FType < TVarType::String && FType < TVarType::String) {
            FType = other.FType;
            FCurrency = other.FCurrency;
            return *this;
        }
        return AssignSlow(other);
    }
    Variant& operator=(Variant&& other) noexcept {
        if (this != &other) {
            Clear();
            MoveFrom(other);
        }
        return *this;
    }
    ~Variant() {
        if (FType >= TVarType::String)
            ClearSlow();
    }

    // Currency in ten-thousandths (1.5 is 15000); date-time in days since 30 December 1899.
    static Variant FromCurrencyUnits(std::int64_t units) noexcept;
    static Variant FromCurrency(double value);
    static Variant FromDateTime(double days) noexcept;
    // An object reference; none (nullptr) gives an empty variant.
    static Variant FromObject(TScriptObject* obj) noexcept;

    TVarType Type() const noexcept { return FType; }
    bool IsEmpty() const noexcept { return FType == TVarType::Empty; }
    bool IsString() const noexcept { return FType == TVarType::String; }
    bool IsArray() const noexcept { return FType == TVarType::Array; }
    bool IsObject() const noexcept { return FType == TVarType::Object; }
    bool IsNumeric() const noexcept;

    // Conversions by the variant rules; each raises EConvertError when the value cannot be converted.
    bool AsBoolean() const;
    int AsInteger() const;
    double AsDouble() const;
    std::int64_t AsCurrencyUnits() const;
    double AsDateTime() const;
    std::string AsString() const;
    // The object reference; none for an empty variant. Any other kind raises EInvalidCast rather than reading
    // a pointer out of a value that is not one.
    TScriptObject* AsObject() const;

    // Direct access for code that has checked the type.
    bool BoolValue() const noexcept { return FBool; }
    int IntValue() const noexcept { return FInt; }
    double DoubleValue() const noexcept { return FDouble; }
    std::int64_t CurrencyUnits() const noexcept { return FCurrency; }
    const std::string& StringValue() const noexcept { return FString; }
    std::string& StringValue() noexcept { return FString; }
    inline const std::vector<Variant>& Items() const noexcept;
    inline std::vector<Variant>& Items() noexcept;
    // The index of an array's first element.
    inline int ArrayLow() const noexcept;
    TArrayBox* ArrayStorage() const noexcept { return FArray; }
    TScriptObject* ObjectValue() const noexcept { return FObject; }

    // Replaces the value by an integer; no temporary for the loops that count.
    void AssignInteger(int value) noexcept {
        if (FType >= TVarType::String)
            ClearSlow();
        FType = TVarType::Integer;
        FInt = value;
    }
    void Clear() noexcept {
        if (FType >= TVarType::String)
            ClearSlow();
        FType = TVarType::Empty;
    }

    // Element count of an array (its one dimension counts from 0); EConvertError for other kinds.
    int ArrayLength() const;

    // The name of the kind for error texts ("Integer", "String", ...).
    static std::string_view TypeName(TVarType type) noexcept;

private:
    void ClearSlow() noexcept;
    void CopyFrom(const Variant& other);
    Variant& AssignSlow(const Variant& other);
    void MoveFrom(Variant& other) noexcept {
        if (other.FType == TVarType::String) {
            new (&FString) std::string(std::move(other.FString));
            other.FString.~basic_string();
        } else {
            FCurrency =
                other.FCurrency; // the widest plain member; also carries the array and object pointers
        }
        FType = other.FType;
        other.FType = TVarType::Empty;
    }

    TVarType FType;
    union {
        bool FBool;
        int FInt;
        double FDouble;
        std::int64_t FCurrency;
        std::string FString;
        TArrayBox* FArray;
        TScriptObject* FObject;
    };
};

// An array's elements. A variant owns its array alone; a script call that passes an element by reference
// holds the array too (Hold/Drop), so that the element stays where it is even when the variable is assigned
// meanwhile.
struct TArrayBox {
    std::vector<Variant> Items;
    int Low = 0;
    int Holders = 1;
    void Hold() noexcept { ++Holders; }
    void Drop() noexcept {
        if (--Holders == 0)
            delete this;
    }
};

inline const std::vector<Variant>& Variant::Items() const noexcept {
    return FArray->Items;
}
inline std::vector<Variant>& Variant::Items() noexcept {
    return FArray->Items;
}
inline int Variant::ArrayLow() const noexcept {
    return FArray->Low;
}

// Delphi-style number texts: general format with up to 15 significant digits and the locale's decimal
// separator ("0.1", "1E20", "1.5E-5"); scientific below 0.0001, and a zero without a sign.
std::string FloatToStr(double value);
// Parses an integer (decimal or "$" hexadecimal, surrounding blanks allowed); false when the text is not one.
bool TryStrToInt(std::string_view text, int& value);
// Parses a float with the locale's decimal separator; false when the text is not one.
bool TryStrToFloat(std::string_view text, double& value);

} // namespace kalmora
