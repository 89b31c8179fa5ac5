#include "IStringList.h"

namespace kalmora {

TIntfRef<IStringList> NewStringList() {
    return Make<TIStringList>();
}

bool TIStringList::Implements(const TGUID& iid) const noexcept {
    return SameGuid(iid, IStringList::IID) || TlmInterfacedObject::Implements(iid);
}

void TIStringList::Dispose() {
    FList.reset();
    TlmInterfacedObject::Dispose();
}

TIntfRef<IStringList> TIStringList::GetNamesList() const {
    auto names = NewStringList();
    for (int i = 0; i < FList->GetCount(); ++i)
        names->Add(NamePart(FList->Get(i)));
    return names;
}

TIntfRef<IStringList> TIStringList::GetValuesList() const {
    auto values = NewStringList();
    for (int i = 0; i < FList->GetCount(); ++i)
        values->Add(ValuePart(FList->Get(i)));
    return values;
}

void TIStringList::AppendToEach(const std::string& suffix) {
    // A sorted list refuses Put; the entries are changed in place and the order restored afterwards.
    bool sorted = FList->GetSorted();
    FList->SetSorted(false);
    for (int i = 0; i < FList->GetCount(); ++i)
        FList->Put(i, FList->Get(i) + suffix);
    FList->SetSorted(sorted);
}

void TIStringList::AddStringList(const TIntfRef<IStringList>& other) {
    if (other)
        FList->AddStrings(other->GetStrings());
}

TArrayOfVar TIStringList::ToVariantArray() const {
    TArrayOfVar items;
    items.reserve(static_cast<std::size_t>(FList->GetCount()));
    for (int i = 0; i < FList->GetCount(); ++i)
        items.emplace_back(FList->Get(i));
    return items;
}

std::string TIStringList::GetQuotedList() const {
    std::string result;
    for (int i = 0; i < FList->GetCount(); ++i)
        result += ChooseValue<std::string>(!result.empty(), ", ", "") + "'" + FList->Get(i) + "'";
    return result;
}

} // namespace kalmora
