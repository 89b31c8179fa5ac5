#include "ScriptNodes.h"
#include "runtime/Exceptions.h"

#include <algorithm>
#include <limits>
#include <pthread.h>

namespace kalmora::script {

void ConvertTo(TTypeKind kind, Variant& value) {
    switch (kind) {
    case TTypeKind::Variant:
        return;
    case TTypeKind::Integer:
        if (value.Type() != TVarType::Integer)
            value = Variant(value.AsInteger());
        return;
    case TTypeKind::Double:
        if (value.Type() != TVarType::Double)
            value = Variant(value.AsDouble());
        return;
    case TTypeKind::String:
        if (!value.IsString())
            value = Variant(value.AsString());
        return;
    case TTypeKind::Boolean:
        if (value.Type() != TVarType::Boolean)
            value = Variant(value.AsBoolean());
        return;
    case TTypeKind::Currency:
        if (value.Type() != TVarType::Currency)
            value = Variant::FromCurrencyUnits(value.AsCurrencyUnits());
        return;
    case TTypeKind::Date:
        if (value.Type() != TVarType::Date)
            value = Variant::FromDateTime(value.AsDateTime());
        return;
    case TTypeKind::OpenArray:
        if (value.IsArray() && value.ArrayLow() != 0)
            value.ArrayStorage()->Low = 0;
        return;
    }
}

Variant DefaultOf(TTypeKind kind) {
    switch (kind) {
    case TTypeKind::Integer:
        return Variant(0);
    case TTypeKind::Double:
        return Variant(0.0);
    case TTypeKind::String:
        return Variant(std::string());
    case TTypeKind::Boolean:
        return Variant(false);
    case TTypeKind::Currency:
        return Variant::FromCurrencyUnits(0);
    case TTypeKind::Date:
        return Variant::FromDateTime(0);
    case TTypeKind::Variant:
    case TTypeKind::OpenArray:
        break;
    }
    return Variant();
}

Variant* TValueStack::AllocInNewChunk(std::size_t count) {
    constexpr std::size_t ChunkSize = 4096;
    // Move on to the next chunk that is large enough, dropping smaller spare ones.
    std::size_t next = FChunks.empty() ? 0 : FChunk + 1;
    while (next < FChunks.size() && FChunks[next].Size < count)
        FChunks.erase(FChunks.begin() + static_cast<std::ptrdiff_t>(next));
    if (next == FChunks.size()) {
        std::size_t size = std::max(ChunkSize, count);
        FChunks.push_back({std::make_unique<Variant[]>(size), size});
    }
    FChunk = next;
    FBase = FChunks[FChunk].Slots.get();
    FSize = FChunks[FChunk].Size;
    FUsed = count;
    return FBase;
}

void TValueStack::ReleaseChunk(TMark mark) noexcept {
    // Frames nest, so what lies above mark is one allocation at the start of the chunk after mark's.
    for (std::size_t i = 0; i < FUsed; ++i)
        FBase[i].Clear();
    FChunk = mark.Chunk;
    FUsed = mark.Used;
    FBase = FChunk < FChunks.size() ? FChunks[FChunk].Slots.get() : nullptr;
    FSize = FChunk < FChunks.size() ? FChunks[FChunk].Size : 0;
}

TRunContext::TRunContext(TJvInterpreterProgram* program, const TScriptLimits& limits)
    : MaxSteps(limits.MaxSteps ? limits.MaxSteps : std::numeric_limits<std::uint64_t>::max()),
      MaxCallDepth(limits.MaxCallDepth > 0 ? limits.MaxCallDepth : 1),
      MaxStringBytes(limits.MaxStringBytes ? limits.MaxStringBytes : std::numeric_limits<std::size_t>::max()),
      MaxArrayElements(limits.MaxArrayElements > 0 ? limits.MaxArrayElements : 1),
      StackFloor(ScriptStackFloor()), Program(program) {}

void TRunContext::StepLimit(int line, int column) const {
    throw EScriptLimit("The script ran more than " + std::to_string(MaxSteps) + " steps", line, column);
}

void TRunContext::CheckStringSize(std::size_t size, int line, int column) const {
    if (size > MaxStringBytes)
        throw EScriptLimit("Text longer than " + std::to_string(MaxStringBytes) + " bytes", line, column);
}

std::uintptr_t ScriptStackFloor() {
    // The thread's real stack bounds, so the floor holds on threads with small stacks as well.
    pthread_attr_t attr;
    void* base = nullptr;
    std::size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        pthread_attr_getstack(&attr, &base, &size);
        pthread_attr_destroy(&attr);
    }
    if (!base || size == 0) {
        char here = 0;
        return reinterpret_cast<std::uintptr_t>(&here) - (std::uintptr_t{1} << 20); // assume 1 MiB below
    }
    std::size_t reserve = std::clamp<std::size_t>(size / 4, std::size_t{64} << 10, std::size_t{1} << 20);
    return reinterpret_cast<std::uintptr_t>(base) + reserve;
}

void TNode::Fail(const std::string& message) const {
    throw EScriptError(message, Line, Column);
}

} // namespace kalmora::script
