#include "InterpreterProgram.h"

namespace kalmora {

class TScriptCode {};

EScriptError::EScriptError(std::string message, int line, int column)
    : Exception(message + " (line " + std::to_string(line) + ", column " + std::to_string(column) + ")"),
      FLine(line), FColumn(column) {}

TJvInterpreterProgram::TJvInterpreterProgram(void* owner) : FOwner(owner) {}
TJvInterpreterProgram::~TJvInterpreterProgram() = default;

void TJvInterpreterProgram::SetSource(std::string source) {
    FSource = std::move(source);
    FCode.reset();
}

void TJvInterpreterProgram::Compile() {
    throw EScriptError("The interpreter is not built yet", 1, 1);
}

void TJvInterpreterProgram::Run() {
    Compile();
}

} // namespace kalmora
