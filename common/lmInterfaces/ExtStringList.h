#pragma once

// The platform's plain string list: an ordered list of texts, each with an optional associated object that
// the list never frees. Defaults: unsorted, case-insensitive by the user's locale, duplicates ignored when
// sorted. Not locked: one thread at a time.

#include "runtime/Exceptions.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace kalmora {

class EStringListError : public Exception {
public:
    using Exception::Exception;
    std::string_view ClassName() const noexcept override { return "EStringListError"; }
};

enum class TDuplicates { dupIgnore, dupAccept, dupError };

class TExtStringList {
public:
    TExtStringList() = default;
    TExtStringList(const TExtStringList&) = delete;
    TExtStringList& operator=(const TExtStringList&) = delete;
    virtual ~TExtStringList() = default;

    // Appends to an unsorted list; in a sorted list inserts in order (Duplicates decides about equal texts).
    // Returns the index of the entry.
    int Add(const std::string& s);
    int AddObject(const std::string& s, void* object);
    void Append(const std::string& s);
    void AddStrings(const TExtStringList& other);
    // Entries of `other` replace this list's entries; the settings stay.
    void Assign(const TExtStringList& other);
    void BeginUpdate();
    void EndUpdate();
    void Clear();
    void Delete(int index);
    // Same count and the same texts (letter case significant).
    bool Equals(const TExtStringList& other) const;
    void Exchange(int index1, int index2);
    std::string GetText() const { return GetTextStr(); }
    int IndexOf(const std::string& s) const;
    int IndexOfName(const std::string& name) const;
    int IndexOfObject(const void* object) const;
    void Insert(int index, const std::string& s);
    void InsertObject(int index, const std::string& s, void* object);
    // Lines ended by CR LF, LF or CR.
    void LoadFromFile(const std::string& fileName);
    void LoadFromStream(std::istream& stream);
    void Move(int curIndex, int newIndex);
    void SaveToFile(const std::string& fileName) const;
    void SaveToStream(std::ostream& stream) const;
    void SetText(const std::string& text) { SetTextStr(text); }
    const std::string& Get(int index) const;
    int GetCapacity() const { return static_cast<int>(FItems.capacity()); }
    int GetCount() const { return static_cast<int>(FItems.size()); }
    void* GetObject(int index) const;
    // Every entry followed by CR LF.
    std::string GetTextStr() const;
    void Put(int index, const std::string& s);
    void PutObject(int index, void* object);
    void SetCapacity(int capacity);
    void SetTextStr(const std::string& text);
    virtual void SetUpdateState(bool updating) { (void)updating; }

    // Entries separated by ","; entries with blanks, commas, quotes or control characters in double quotes.
    std::string GetCommaText() const;
    void SetCommaText(const std::string& text);
    std::string GetDelimitedText() const;
    void SetDelimitedText(const std::string& text);
    char GetDelimiter() const { return FDelimiter; }
    void SetDelimiter(char delimiter) { FDelimiter = delimiter; }
    // Name and value of an entry "name=value" (split at the first "=").
    std::string GetName(int index) const;
    std::string GetValue(const std::string& name) const;
    // An empty value removes the entry; an unknown name appends one.
    void SetValue(const std::string& name, const std::string& value);
    std::string GetValueFromIndex(int index) const;
    void SetValueFromIndex(int index, const std::string& value);
    TDuplicates GetDuplicates() const { return FDuplicates; }
    void SetDuplicates(TDuplicates duplicates) { FDuplicates = duplicates; }
    bool GetSorted() const { return FSorted; }
    void SetSorted(bool sorted);
    bool GetCaseSensitive() const { return FCaseSensitive; }
    void SetCaseSensitive(bool caseSensitive);

    // Compares two texts with the list's rules.
    int CompareStrings(const std::string& a, const std::string& b) const;

private:
    struct Item {
        std::string Text;
        void* Object = nullptr;
    };

    void CheckIndex(int index) const;
    void CheckUnsorted() const;
    // Binary search of a sorted list: true when found; `index` is the match or the insertion place.
    bool Find(const std::string& s, int& index) const;
    void Sort();
    std::string Delimited(char delimiter, bool blankSeparates) const;
    void SetDelimitedFrom(const std::string& text, char delimiter, bool blankSeparates);

    std::vector<Item> FItems;
    bool FSorted = false;
    bool FCaseSensitive = false;
    TDuplicates FDuplicates = TDuplicates::dupIgnore;
    char FDelimiter = ',';
    int FUpdateCount = 0;
};

// The name and value parts of "name=value"; a text without "=" has an empty name and value.
std::string NamePart(const std::string& entry);
std::string ValuePart(const std::string& entry);

} // namespace kalmora
