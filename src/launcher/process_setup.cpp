#include "launcher/process_setup.h"

#include "launcher/environment.h"
#include "launcher/launcher_settings.h"
#include "launcher/platform.h"
#include "launcher/text.h"
#include "launcher/trace.h"

namespace zorv {
namespace {

const wchar_t* PriorityName(ProcessPriority priority) {
    switch (priority) {
        case ProcessPriority::idle: return L"idle";
        case ProcessPriority::belowNormal: return L"below normal";
        case ProcessPriority::normal: return L"normal";
        case ProcessPriority::aboveNormal: return L"above normal";
        case ProcessPriority::high: return L"high";
        case ProcessPriority::unchanged: break;
    }
    return L"unchanged";
}

}  // namespace

void ApplyProcessIdentity(Platform& platform, const ProcessSettings& process) {
    Trace* trace = platform.trace;
    SystemError error;
    if (!process.appUserModelId.empty()) {
        const bool given = platform.processes().SetAppUserModelId(process.appUserModelId, error);
        if (trace) {
            trace->Line(given ? L"process: AppUserModelID " + process.appUserModelId + L" set"
                              : L"process: AppUserModelID " + process.appUserModelId + L" not set (error " +
                                    HexText(ErrorNumber(error), 8) + L")");
        }
    }
    if (process.priority == ProcessPriority::unchanged) return;
    const std::wstring name = PriorityName(process.priority);
    if (platform.processes().SetProcessPriority(process.priority, error)) {
        if (trace) trace->Line(L"process: priority " + name);
        return;
    }
    const std::wstring notice = L"Process Priority \"" + name + L"\" was refused (error " +
                                DecimalText(ErrorNumber(error)) +
                                L"): the application runs at the priority the launcher was started with";
    platform.desktop().WriteNotice(notice);
    if (trace) trace->Line(L"process: " + notice);
}

void ApplyEnvironment(Platform& platform, const std::vector<EnvironmentVariable>& variables) {
    Trace* trace = platform.trace;
    for (const EnvironmentVariable& variable : variables) {
        const std::wstring problem = VariableNameProblem(variable.name);
        if (!problem.empty()) {
            if (trace) trace->Line(L"environment: key \"" + variable.name + L"\" left out: the name " + problem);
            continue;
        }
        if (variable.value.empty()) {
            platform.environment().RemoveEnvironment(variable.name);
            if (trace) trace->Line(L"environment: " + variable.name + L" removed");
            continue;
        }
        const std::wstring value = platform.environment().ExpandEnvironment(variable.value);
        platform.environment().SetEnvironment(variable.name, value);
        if (trace) trace->Line(L"environment: " + variable.name + L"=" + value);
    }
}

}  // namespace zorv
