#include "cli/doctor/doctor_output.h"

namespace velgrin::cli::doctor {

namespace {

size_t ProblemCount(const DoctorReport& report) {
    size_t count = 0;
    for (const Section& section : report.sections) {
        for (const Finding& finding : section.findings) {
            count += finding.problems.size();
        }
    }
    return count;
}

}  // namespace

std::string ReportText(const DoctorReport& report) {
    std::string text;
    for (const Section& section : report.sections) {
        text += section.title + "\n";
        if (section.findings.empty()) {
            text += "  " + section.none + "\n";
        }
        for (const Finding& finding : section.findings) {
            text += "  " + finding.subject + ": " + finding.found + "\n";
            for (const Problem& problem : finding.problems) {
                text += "    problem: " + problem.what + "\n";
                text += "    fix: " + problem.fix + "\n";
            }
        }
    }
    const size_t problems = ProblemCount(report);
    if (problems == 0) {
        text += "nothing to fix\n";
    } else {
        text += std::to_string(problems) + (problems == 1 ? " problem" : " problems") + " to fix\n";
    }
    return text;
}

nlohmann::json ReportJson(const DoctorReport& report) {
    nlohmann::json document = nlohmann::json::object();
    for (const Section& section : report.sections) {
        nlohmann::json findings = nlohmann::json::array();
        for (const Finding& finding : section.findings) {
            nlohmann::json problems = nlohmann::json::array();
            for (const Problem& problem : finding.problems) {
                problems.push_back({{"what", problem.what}, {"fix", problem.fix}});
            }
            findings.push_back(
                {{"subject", finding.subject}, {"found", finding.found}, {"problems", problems}});
        }
        document[section.key] = findings;
    }
    document["adapters"] = report.adapters;
    document["problems"] = ProblemCount(report);
    return document;
}

}  // namespace velgrin::cli::doctor
