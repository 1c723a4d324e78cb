#include "platform/sim/SimProcessLauncher.h"

namespace ambleguard::sim {

void SimProcessLauncher::run(std::string executable, std::vector<std::string> arguments,
                             Completion completion) {
    const std::string key = arguments.empty() ? std::string() : arguments.back();
    runs_.push_back(Run{std::move(executable), std::move(arguments)});
    started_.emit(Run(runs_.back()));  // by copy: an observer may start further runs
    const auto found = scripts_.find(key);
    const SimProcessScript& script = found != scripts_.end() ? found->second : defaultScript_;
    if (script.neverEnds) {
        return;
    }
    // Always asynchronous, even without a delay, as a real child process is.
    mainQueue_.postAfter(script.delay,
                         [completion = std::move(completion), result = script.result]() mutable {
                             if (completion) {
                                 completion(std::move(result));
                             }
                         });
}

void SimProcessLauncher::setScript(std::string lastArgument, SimProcessScript script) {
    scripts_.insert_or_assign(std::move(lastArgument), std::move(script));
}

std::vector<std::string> SimProcessLauncher::lastArguments() const {
    std::vector<std::string> names;
    names.reserve(runs_.size());
    for (const auto& run : runs_) {
        names.push_back(run.arguments.empty() ? std::string() : run.arguments.back());
    }
    return names;
}

}  // namespace ambleguard::sim
