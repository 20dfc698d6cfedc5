#include "cli/commands.h"
#include "cli/doctor/doctor.h"
#include "cli/doctor/doctor_output.h"
#include "cli/doctor/port_probe.h"

namespace velgrin::cli {

CliResult<ExitStatus> RunDoctor(CommandContext& context) {
    if (auto words = ExpectWords(context, 0, 0, ""); !words) {
        return words.error();
    }
    const doctor::DoctorInputs inputs{"/", VELGRIN_TAHOMA_DIR, doctor::LocaleEnvironment()};
    doctor::DoctorReport report = doctor::Examine(inputs);
    if (const auto port = context.options().value("--port")) {
        bool reached = false;
        auto probed = doctor::ProbePort(*port, context.portSettings(), reached);
        if (!probed) {
            return probed.error();
        }
        report.sections.push_back(std::move(*probed));
        report.adapters += reached ? 1 : 0;
    }
    doctor::NoteMissingAdapter(inputs, report);
    context.output().result(doctor::ReportJson(report), doctor::ReportText(report));
    return report.needsFixing() ? ExitStatus::kFailure : ExitStatus::kSuccess;
}

}  // namespace velgrin::cli
