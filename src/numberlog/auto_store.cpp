#include "numberlog/auto_store.h"

#include <algorithm>

#include "numberlog/log_text.h"

namespace velgrin {

namespace {

std::string Line(const std::string& text) {
    return text + std::string(kLogLineEnd);
}

}  // namespace

std::string AutoStore::CompanionFileName(const std::string& mainFile) {
    return mainFile + "_e_.txt";
}

bool AutoStore::Listed(const std::string& number) const {
    return std::find(List.begin(), List.end(), number) != List.end();
}

std::string AutoStore::FileText(const Headers& headers, const std::string& numberLine,
                                const std::string& typeText, const std::string& adapterNumber,
                                HeaderStyle style, DateTimeSource& dateTime) {
    std::string text;
    if (headers.adapter) {
        text += Line("Adapters SN " + adapterNumber);
        if (style == HeaderStyle::kThermometer) {
            text += Line(" ");
        }
    }
    if (headers.type) {
        // Each file reads the clock for itself.
        const LocalDateTime moment = dateTime.now();
        text += Line(" ");
        text += Line(typeText + " " + ShortDateText(moment) + " " + LongTimeText(moment));
    }
    return text + Line(numberLine);
}

StoreOutcome AutoStore::Store(const std::string& number, const std::string& typeText,
                              const std::string& adapterNumber, HeaderStyle style,
                              DateTimeSource& dateTime) {
    if (Listed(number)) {
        return {StoreOutcome::Status::kAlreadyStored, std::nullopt};
    }
    Headers headers;
    headers.type = typeText != TypeButtonStringLast;
    headers.adapter = headers.type && flgSaveSNAdapters;

    const std::string mainText =
        FileText(headers, number, typeText, adapterNumber, style, dateTime);
    if (auto written = AppendWholeText(tmpStoreFile, mainText); !written) {
        return {StoreOutcome::Status::kNotStored, StoreFailure{tmpStoreFile, written.error()}};
    }
    List.push_back(number);
    if (headers.adapter) {
        flgSaveSNAdapters = false;
    }
    if (headers.type) {
        TypeButtonStringLast = typeText;
    }

    const std::string companion = CompanionFileName(tmpStoreFile);
    const std::string companionText =
        FileText(headers, ByteReversedNumber(number), typeText, adapterNumber, style, dateTime);
    if (auto written = AppendWholeText(companion, companionText); !written) {
        return {StoreOutcome::Status::kStored, StoreFailure{companion, written.error()}};
    }
    return {StoreOutcome::Status::kStored, std::nullopt};
}

}  // namespace velgrin
