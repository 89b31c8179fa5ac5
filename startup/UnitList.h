#pragma once

// The ordered start-up and shut-down work of the system's units. Start-up runs the list from the first entry
// to the last, shut-down from the last to the first. A per-unit counter makes each unit work once on its
// first start-up and once on its last shut-down, however often the list is started.

#include <functional>
#include <string>
#include <vector>

namespace kalmora {

struct TUnit {
    std::string Name;
    std::function<void()> Startup;  // may be empty
    std::function<void()> Shutdown; // may be empty
    int Counter = 0;
};

class TUnitList {
public:
    explicit TUnitList(std::vector<TUnit> units) : FUnits(std::move(units)) {}

    // An error in a unit's start-up propagates; the units started before it stay started.
    void Startup();
    void Shutdown() noexcept;

    const std::vector<TUnit>& Units() const { return FUnits; }

private:
    std::vector<TUnit> FUnits;
};

// The program's units in their fixed order.
TUnitList& ProgramUnits();

// Starts the program's units for its lifetime and shuts them down when it ends.
class TUnitSession {
public:
    TUnitSession() { ProgramUnits().Startup(); }
    ~TUnitSession() { ProgramUnits().Shutdown(); }
    TUnitSession(const TUnitSession&) = delete;
    TUnitSession& operator=(const TUnitSession&) = delete;
};

} // namespace kalmora
