#pragma once

namespace kalmora {

// The unit's start-up: the program's format settings follow the user's locale from here on.
void StartUtilBox();
// The unit's shut-down: releases its global texts and objects.
void StopUtilBox();

} // namespace kalmora
