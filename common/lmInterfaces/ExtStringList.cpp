#include "ExtStringList.h"

#include "LocaleText.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <sstream>

namespace kalmora {

std::string NamePart(const std::string& entry) {
    auto pos = entry.find('=');
    return pos == std::string::npos ? std::string() : entry.substr(0, pos);
}

std::string ValuePart(const std::string& entry) {
    auto pos = entry.find('=');
    return pos == std::string::npos ? std::string() : entry.substr(pos + 1);
}

int TExtStringList::CompareStrings(const std::string& a, const std::string& b) const {
    return FCaseSensitive ? AnsiCompareStr(a, b) : AnsiCompareText(a, b);
}

void TExtStringList::CheckIndex(int index) const {
    if (index < 0 || index >= GetCount())
        throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
}

void TExtStringList::CheckUnsorted() const {
    if (FSorted)
        throw EStringListError("Operation not allowed on sorted list");
}

bool TExtStringList::Find(const std::string& s, int& index) const {
    int low = 0;
    int high = GetCount() - 1;
    bool found = false;
    while (low <= high) {
        int mid = low + (high - low) / 2;
        int c = CompareStrings(FItems[static_cast<std::size_t>(mid)].Text, s);
        if (c < 0) {
            low = mid + 1;
        } else {
            high = mid - 1;
            if (c == 0) {
                found = true;
                // The first of equal entries, unless duplicates are accepted anyway.
                if (FDuplicates != TDuplicates::dupAccept)
                    low = mid;
            }
        }
    }
    index = low;
    return found;
}

void TExtStringList::Sort() {
    std::stable_sort(FItems.begin(), FItems.end(),
                     [this](const Item& a, const Item& b) { return CompareStrings(a.Text, b.Text) < 0; });
}

int TExtStringList::Add(const std::string& s) {
    return AddObject(s, nullptr);
}

int TExtStringList::AddObject(const std::string& s, void* object) {
    if (!FSorted) {
        FItems.push_back({s, object});
        return GetCount() - 1;
    }
    int index = 0;
    if (Find(s, index)) {
        if (FDuplicates == TDuplicates::dupIgnore)
            return index;
        if (FDuplicates == TDuplicates::dupError)
            throw EStringListError("String list does not allow duplicates");
    }
    FItems.insert(FItems.begin() + index, {s, object});
    return index;
}

void TExtStringList::Append(const std::string& s) {
    Add(s);
}

void TExtStringList::AddStrings(const TExtStringList& other) {
    if (&other == this) {
        std::vector<Item> copy = FItems;
        for (const auto& item : copy)
            AddObject(item.Text, item.Object);
        return;
    }
    for (const auto& item : other.FItems)
        AddObject(item.Text, item.Object);
}

void TExtStringList::Assign(const TExtStringList& other) {
    if (&other == this)
        return;
    Clear();
    AddStrings(other);
}

void TExtStringList::BeginUpdate() {
    if (FUpdateCount++ == 0)
        SetUpdateState(true);
}

void TExtStringList::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0)
        SetUpdateState(false);
}

void TExtStringList::Clear() {
    FItems.clear();
}

void TExtStringList::Delete(int index) {
    CheckIndex(index);
    FItems.erase(FItems.begin() + index);
}

bool TExtStringList::Equals(const TExtStringList& other) const {
    if (GetCount() != other.GetCount())
        return false;
    for (std::size_t i = 0; i < FItems.size(); ++i) {
        if (FItems[i].Text != other.FItems[i].Text)
            return false;
    }
    return true;
}

void TExtStringList::Exchange(int index1, int index2) {
    CheckIndex(index1);
    CheckIndex(index2);
    std::swap(FItems[static_cast<std::size_t>(index1)], FItems[static_cast<std::size_t>(index2)]);
}

int TExtStringList::IndexOf(const std::string& s) const {
    if (FSorted) {
        int index = 0;
        return Find(s, index) ? index : -1;
    }
    for (std::size_t i = 0; i < FItems.size(); ++i) {
        if (CompareStrings(FItems[i].Text, s) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

int TExtStringList::IndexOfName(const std::string& name) const {
    for (std::size_t i = 0; i < FItems.size(); ++i) {
        auto pos = FItems[i].Text.find('=');
        if (pos != std::string::npos && CompareStrings(FItems[i].Text.substr(0, pos), name) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

int TExtStringList::IndexOfObject(const void* object) const {
    for (std::size_t i = 0; i < FItems.size(); ++i) {
        if (FItems[i].Object == object)
            return static_cast<int>(i);
    }
    return -1;
}

void TExtStringList::Insert(int index, const std::string& s) {
    InsertObject(index, s, nullptr);
}

void TExtStringList::InsertObject(int index, const std::string& s, void* object) {
    CheckUnsorted();
    if (index < 0 || index > GetCount())
        throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
    FItems.insert(FItems.begin() + index, {s, object});
}

void TExtStringList::LoadFromFile(const std::string& fileName) {
    std::ifstream file(fileName, std::ios::binary);
    if (!file)
        throw EInOutError::FromErrno("Cannot open file", fileName, errno);
    LoadFromStream(file);
}

void TExtStringList::LoadFromStream(std::istream& stream) {
    std::string text{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    SetTextStr(text);
}

void TExtStringList::Move(int curIndex, int newIndex) {
    if (curIndex == newIndex)
        return;
    CheckIndex(curIndex);
    CheckIndex(newIndex);
    Item item = std::move(FItems[static_cast<std::size_t>(curIndex)]);
    FItems.erase(FItems.begin() + curIndex);
    FItems.insert(FItems.begin() + newIndex, std::move(item));
}

void TExtStringList::SaveToFile(const std::string& fileName) const {
    std::ofstream file(fileName, std::ios::binary | std::ios::trunc);
    if (!file)
        throw EInOutError::FromErrno("Cannot create file", fileName, errno);
    SaveToStream(file);
    file.close();
    if (!file)
        throw EInOutError::FromErrno("Cannot write file", fileName, errno);
}

void TExtStringList::SaveToStream(std::ostream& stream) const {
    stream << GetTextStr();
}

const std::string& TExtStringList::Get(int index) const {
    CheckIndex(index);
    return FItems[static_cast<std::size_t>(index)].Text;
}

void* TExtStringList::GetObject(int index) const {
    CheckIndex(index);
    return FItems[static_cast<std::size_t>(index)].Object;
}

std::string TExtStringList::GetTextStr() const {
    std::string text;
    for (const auto& item : FItems)
        text += item.Text + "\r\n";
    return text;
}

void TExtStringList::Put(int index, const std::string& s) {
    CheckUnsorted();
    CheckIndex(index);
    FItems[static_cast<std::size_t>(index)].Text = s;
}

void TExtStringList::PutObject(int index, void* object) {
    CheckIndex(index);
    FItems[static_cast<std::size_t>(index)].Object = object;
}

void TExtStringList::SetCapacity(int capacity) {
    if (capacity > GetCount())
        FItems.reserve(static_cast<std::size_t>(capacity));
}

void TExtStringList::SetTextStr(const std::string& text) {
    BeginUpdate();
    Clear();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            Add(text.substr(start));
            break;
        }
        Add(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
    EndUpdate();
}

std::string TExtStringList::Delimited(char delimiter, bool blankSeparates) const {
    std::string out;
    for (std::size_t i = 0; i < FItems.size(); ++i) {
        const std::string& s = FItems[i].Text;
        bool quote = s.empty() && FItems.size() == 1;
        for (char c : s)
            quote = quote || c == delimiter || c == '"' ||
                    (blankSeparates && static_cast<unsigned char>(c) <= ' ');
        if (i > 0)
            out += delimiter;
        if (!quote) {
            out += s;
            continue;
        }
        out += '"';
        for (char c : s) {
            if (c == '"')
                out += '"';
            out += c;
        }
        out += '"';
    }
    return out;
}

void TExtStringList::SetDelimitedFrom(const std::string& text, char delimiter, bool blankSeparates) {
    auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    auto isEnd = [&](char c) { return c == delimiter || (blankSeparates && isBlank(c)); };
    BeginUpdate();
    Clear();
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && isBlank(text[i]) && text[i] != delimiter)
            ++i;
    };
    skipBlanks();
    while (i < text.size()) {
        std::string item;
        if (text[i] == '"') {
            ++i;
            while (i < text.size()) {
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
        } else {
            while (i < text.size() && !isEnd(text[i]))
                item += text[i++];
        }
        Add(item);
        skipBlanks();
        if (i < text.size() && text[i] == delimiter) {
            ++i;
            skipBlanks();
            // A trailing delimiter announces one more, empty entry.
            if (i == text.size())
                Add({});
        }
    }
    EndUpdate();
}

std::string TExtStringList::GetCommaText() const {
    return Delimited(',', true);
}

void TExtStringList::SetCommaText(const std::string& text) {
    SetDelimitedFrom(text, ',', true);
}

std::string TExtStringList::GetDelimitedText() const {
    return Delimited(FDelimiter, true);
}

void TExtStringList::SetDelimitedText(const std::string& text) {
    SetDelimitedFrom(text, FDelimiter, true);
}

std::string TExtStringList::GetName(int index) const {
    return NamePart(Get(index));
}

std::string TExtStringList::GetValue(const std::string& name) const {
    int index = IndexOfName(name);
    return index < 0 ? std::string() : ValuePart(FItems[static_cast<std::size_t>(index)].Text);
}

void TExtStringList::SetValue(const std::string& name, const std::string& value) {
    int index = IndexOfName(name);
    if (value.empty()) {
        if (index >= 0)
            Delete(index);
        return;
    }
    if (index < 0)
        Add(name + "=" + value);
    else
        FItems[static_cast<std::size_t>(index)].Text = name + "=" + value;
}

std::string TExtStringList::GetValueFromIndex(int index) const {
    return ValuePart(Get(index));
}

void TExtStringList::SetValueFromIndex(int index, const std::string& value) {
    if (value.empty()) {
        Delete(index);
        return;
    }
    CheckIndex(index);
    FItems[static_cast<std::size_t>(index)].Text = GetName(index) + "=" + value;
}

void TExtStringList::SetSorted(bool sorted) {
    if (sorted && !FSorted) {
        FSorted = true;
        Sort();
    }
    FSorted = sorted;
}

void TExtStringList::SetCaseSensitive(bool caseSensitive) {
    if (caseSensitive == FCaseSensitive)
        return;
    FCaseSensitive = caseSensitive;
    if (FSorted)
        Sort();
}

} // namespace kalmora
