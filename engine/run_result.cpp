#include "engine/run_result.h"

#include <utility>

RunResult::RunResult() = default;

RunResult::RunResult(RunOutcome outcome, std::string onPath, uint32_t code, std::string why)
    : what(outcome), path(std::move(onPath)), error(code), detail(std::move(why)) {}

RunResult::RunResult(const RunResult& from)
    : what(from.what),
      path(from.path),
      error(from.error),
      detail(from.detail),
      other(from.other),
      cause(from.cause ? new RunResult(*from.cause) : nullptr) {}

RunResult::RunResult(RunResult&& from) noexcept = default;

RunResult& RunResult::operator=(const RunResult& from) {
    if (this != &from) *this = RunResult(from);
    return *this;
}

RunResult& RunResult::operator=(RunResult&& from) noexcept = default;

RunResult::~RunResult() = default;

RunResult& RunResult::And(std::string second) {
    other = std::move(second);
    return *this;
}

RunResult& RunResult::Because(const RunResult& why) {
    cause.reset(new RunResult(why));
    return *this;
}
