#include "scripted_host.h"

namespace velgrin::testing {

uint32_t ScriptedHost::tickCount() {
    clock_.advanceMs(1);
    return static_cast<uint32_t>(clock_.nowMs());
}

void ScriptedHost::sleep(uint32_t ms) {
    sleeps.push_back(ms);
    clock_.advanceMs(ms);
    if (onSleep) {
        onSleep(ms);
    }
}

void ScriptedHost::processMessages() {
    ++messagePumps;
    if (onProcessMessages) {
        auto hook = onProcessMessages;
        hook();
    }
}

std::string ScriptedHost::inputBox(const std::string& caption, const std::string& prompt,
                                   const std::string& preset) {
    prompts.push_back({caption, prompt, preset});
    if (inputAnswers.empty()) {
        return preset;
    }
    auto answer = inputAnswers.front();
    inputAnswers.pop_front();
    return answer ? *answer : preset;
}

std::optional<std::string> ScriptedHost::saveFileName(const std::string& defaultExtension) {
    saveExtensions.push_back(defaultExtension);
    if (saveAnswers.empty()) {
        return std::nullopt;
    }
    auto answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
}

}  // namespace velgrin::testing
