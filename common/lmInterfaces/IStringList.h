#pragma once

// The reference-counted string list: IStringList forwards the whole interface of a TExtStringList and adds
// seven operations of its own. After Dispose only the ICommon operations may be used.

#include "ExtStringList.h"
#include "interpreter/Variant.h"
#include "lmInterfaces.h"

#include <memory>
#include <vector>

namespace kalmora {

// A dynamic array of variants.
using TArrayOfVar = std::vector<Variant>;

class IStringList : public virtual IInterface {
public:
    static constexpr TGUID IID = GuidOf("{2764EDD4-1743-4D58-9554-60D75583E327}");

    virtual int Add(const std::string& s) = 0;
    virtual int AddObject(const std::string& s, void* object) = 0;
    virtual void Append(const std::string& s) = 0;
    virtual void AddStrings(const TExtStringList& strings) = 0;
    virtual void Assign(const TExtStringList& source) = 0;
    virtual void BeginUpdate() = 0;
    virtual void Clear() = 0;
    virtual void Delete(int index) = 0;
    virtual void EndUpdate() = 0;
    virtual bool Equals(const TExtStringList& strings) const = 0;
    virtual void Exchange(int index1, int index2) = 0;
    virtual std::string GetText() const = 0;
    virtual int IndexOf(const std::string& s) const = 0;
    virtual int IndexOfName(const std::string& name) const = 0;
    virtual int IndexOfObject(const void* object) const = 0;
    virtual void Insert(int index, const std::string& s) = 0;
    virtual void InsertObject(int index, const std::string& s, void* object) = 0;
    virtual void LoadFromFile(const std::string& fileName) = 0;
    virtual void LoadFromStream(std::istream& stream) = 0;
    virtual void Move(int curIndex, int newIndex) = 0;
    virtual void SaveToFile(const std::string& fileName) const = 0;
    virtual void SaveToStream(std::ostream& stream) const = 0;
    virtual void SetText(const std::string& text) = 0;
    virtual std::string Get(int index) const = 0;
    virtual int GetCapacity() const = 0;
    virtual int GetCount() const = 0;
    virtual void* GetObject(int index) const = 0;
    virtual std::string GetTextStr() const = 0;
    virtual void Put(int index, const std::string& s) = 0;
    virtual void PutObject(int index, void* object) = 0;
    virtual void SetCapacity(int capacity) = 0;
    virtual void SetTextStr(const std::string& text) = 0;
    virtual void SetUpdateState(bool updating) = 0;

    virtual std::string GetCommaText() const = 0;
    virtual void SetCommaText(const std::string& text) = 0;
    virtual std::string GetDelimitedText() const = 0;
    virtual void SetDelimitedText(const std::string& text) = 0;
    virtual char GetDelimiter() const = 0;
    virtual void SetDelimiter(char delimiter) = 0;
    virtual std::string GetName(int index) const = 0;
    virtual std::string GetValue(const std::string& name) const = 0;
    virtual void SetValue(const std::string& name, const std::string& value) = 0;
    virtual std::string GetValueFromIndex(int index) const = 0;
    virtual void SetValueFromIndex(int index, const std::string& value) = 0;
    virtual TDuplicates GetDuplicates() const = 0;
    virtual void SetDuplicates(TDuplicates duplicates) = 0;
    virtual bool GetSorted() const = 0;
    virtual void SetSorted(bool sorted) = 0;
    virtual bool GetCaseSensitive() const = 0;
    virtual void SetCaseSensitive(bool caseSensitive) = 0;

    // The wrapped list itself; changes made through it are changes of this list.
    virtual TExtStringList& GetStrings() = 0;
    // The part before the first "=" of every entry, in order ("" for an entry without "=").
    virtual TIntfRef<IStringList> GetNamesList() const = 0;
    // The part after the first "=" of every entry, in order ("" for an entry without "=").
    virtual TIntfRef<IStringList> GetValuesList() const = 0;
    virtual void AppendToEach(const std::string& suffix) = 0;
    // Appends every entry of `other` (texts and objects).
    virtual void AddStringList(const TIntfRef<IStringList>& other) = 0;
    // One text variant per entry, in order.
    virtual TArrayOfVar ToVariantArray() const = 0;
    // 'a', 'b', 'c'; quotes inside an entry are not doubled; "" for an empty list.
    virtual std::string GetQuotedList() const = 0;
};

class TIStringList : public TlmInterfacedObject, public IStringList {
public:
    TIStringList() : FList(std::make_unique<TExtStringList>()) {}

    int Add(const std::string& s) override { return FList->Add(s); }
    int AddObject(const std::string& s, void* object) override { return FList->AddObject(s, object); }
    void Append(const std::string& s) override { FList->Append(s); }
    void AddStrings(const TExtStringList& strings) override { FList->AddStrings(strings); }
    void Assign(const TExtStringList& source) override { FList->Assign(source); }
    void BeginUpdate() override { FList->BeginUpdate(); }
    void Clear() override { FList->Clear(); }
    void Delete(int index) override { FList->Delete(index); }
    void EndUpdate() override { FList->EndUpdate(); }
    bool Equals(const TExtStringList& strings) const override { return FList->Equals(strings); }
    void Exchange(int index1, int index2) override { FList->Exchange(index1, index2); }
    std::string GetText() const override { return FList->GetText(); }
    int IndexOf(const std::string& s) const override { return FList->IndexOf(s); }
    int IndexOfName(const std::string& name) const override { return FList->IndexOfName(name); }
    int IndexOfObject(const void* object) const override { return FList->IndexOfObject(object); }
    void Insert(int index, const std::string& s) override { FList->Insert(index, s); }
    void InsertObject(int index, const std::string& s, void* object) override {
        FList->InsertObject(index, s, object);
    }
    void LoadFromFile(const std::string& fileName) override { FList->LoadFromFile(fileName); }
    void LoadFromStream(std::istream& stream) override { FList->LoadFromStream(stream); }
    void Move(int curIndex, int newIndex) override { FList->Move(curIndex, newIndex); }
    void SaveToFile(const std::string& fileName) const override { FList->SaveToFile(fileName); }
    void SaveToStream(std::ostream& stream) const override { FList->SaveToStream(stream); }
    void SetText(const std::string& text) override { FList->SetText(text); }
    std::string Get(int index) const override { return FList->Get(index); }
    int GetCapacity() const override { return FList->GetCapacity(); }
    int GetCount() const override { return FList->GetCount(); }
    void* GetObject(int index) const override { return FList->GetObject(index); }
    std::string GetTextStr() const override { return FList->GetTextStr(); }
    void Put(int index, const std::string& s) override { FList->Put(index, s); }
    void PutObject(int index, void* object) override { FList->PutObject(index, object); }
    void SetCapacity(int capacity) override { FList->SetCapacity(capacity); }
    void SetTextStr(const std::string& text) override { FList->SetTextStr(text); }
    void SetUpdateState(bool updating) override { FList->SetUpdateState(updating); }

    std::string GetCommaText() const override { return FList->GetCommaText(); }
    void SetCommaText(const std::string& text) override { FList->SetCommaText(text); }
    std::string GetDelimitedText() const override { return FList->GetDelimitedText(); }
    void SetDelimitedText(const std::string& text) override { FList->SetDelimitedText(text); }
    char GetDelimiter() const override { return FList->GetDelimiter(); }
    void SetDelimiter(char delimiter) override { FList->SetDelimiter(delimiter); }
    std::string GetName(int index) const override { return FList->GetName(index); }
    std::string GetValue(const std::string& name) const override { return FList->GetValue(name); }
    void SetValue(const std::string& name, const std::string& value) override {
        FList->SetValue(name, value);
    }
    std::string GetValueFromIndex(int index) const override { return FList->GetValueFromIndex(index); }
    void SetValueFromIndex(int index, const std::string& value) override {
        FList->SetValueFromIndex(index, value);
    }
    TDuplicates GetDuplicates() const override { return FList->GetDuplicates(); }
    void SetDuplicates(TDuplicates duplicates) override { FList->SetDuplicates(duplicates); }
    bool GetSorted() const override { return FList->GetSorted(); }
    void SetSorted(bool sorted) override { FList->SetSorted(sorted); }
    bool GetCaseSensitive() const override { return FList->GetCaseSensitive(); }
    void SetCaseSensitive(bool caseSensitive) override { FList->SetCaseSensitive(caseSensitive); }

    TExtStringList& GetStrings() override { return *FList; }
    TIntfRef<IStringList> GetNamesList() const override;
    TIntfRef<IStringList> GetValuesList() const override;
    void AppendToEach(const std::string& suffix) override;
    void AddStringList(const TIntfRef<IStringList>& other) override;
    TArrayOfVar ToVariantArray() const override;
    std::string GetQuotedList() const override;

    void Dispose() override;

protected:
    bool Implements(const TGUID& iid) const noexcept override;

private:
    std::unique_ptr<TExtStringList> FList;
};

// A new, empty TIStringList.
TIntfRef<IStringList> NewStringList();

} // namespace kalmora
