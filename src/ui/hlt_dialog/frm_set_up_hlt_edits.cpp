#include "ui/hlt_dialog/frm_set_up_hlt.h"

namespace velgrin {

// Any touch of a setting stops the poll, so that the next tick cannot overwrite what the user is
// about to type.
void Thlt_set::edtS0minChange() {
    StopPoll();
}
void Thlt_set::edtS0minClick() {
    StopPoll();
}

void Thlt_set::edtS0MaxChange() {
    StopPoll();
}
void Thlt_set::edtS0MaxClick() {
    StopPoll();
}

void Thlt_set::edtS0minVoltageChange() {
    StopPoll();
}
void Thlt_set::edtS0minVoltageClick() {
    StopPoll();
}

void Thlt_set::edtS0MaxVoltageChange() {
    StopPoll();
}
void Thlt_set::edtS0MaxVoltageClick() {
    StopPoll();
}

void Thlt_set::edtS0UpValueChange() {
    StopPoll();
}
void Thlt_set::edtS0UpValueClick() {
    StopPoll();
}

void Thlt_set::edtS0DownValueChange() {
    StopPoll();
}
void Thlt_set::edtS0DownValueClick() {
    StopPoll();
}

void Thlt_set::edtS1minChange() {
    StopPoll();
}
void Thlt_set::edtS1minClick() {
    StopPoll();
}

void Thlt_set::edtS1MaxChange() {
    StopPoll();
}
void Thlt_set::edtS1MaxClick() {
    StopPoll();
}

void Thlt_set::edtS1minVoltageChange() {
    StopPoll();
}
void Thlt_set::edtS1minVoltageClick() {
    StopPoll();
}

void Thlt_set::edtS1MaxVoltageChange() {
    StopPoll();
}
void Thlt_set::edtS1MaxVoltageClick() {
    StopPoll();
}

void Thlt_set::edtS1UpValueChange() {
    StopPoll();
}
void Thlt_set::edtS1UpValueClick() {
    StopPoll();
}

void Thlt_set::edtS1DownValueChange() {
    StopPoll();
}
void Thlt_set::edtS1DownValueClick() {
    StopPoll();
}

void Thlt_set::edtTdisChange() {
    StopPoll();
}
void Thlt_set::edtTdisClick() {
    StopPoll();
}

void Thlt_set::edtTupLimitChange() {
    StopPoll();
}
void Thlt_set::edtTupLimitClick() {
    StopPoll();
}

void Thlt_set::edtTdownLimitChange() {
    StopPoll();
}
void Thlt_set::edtTdownLimitClick() {
    StopPoll();
}

void Thlt_set::ConnectEditHandlers() {
    struct EditHandlers {
        ClickableEdit* edit;
        void (Thlt_set::*change)();
        void (Thlt_set::*click)();
    };
    const EditHandlers handlers[] = {
        {ui_.sensor0.min, &Thlt_set::edtS0minChange, &Thlt_set::edtS0minClick},
        {ui_.sensor0.max, &Thlt_set::edtS0MaxChange, &Thlt_set::edtS0MaxClick},
        {ui_.sensor0.minVoltage, &Thlt_set::edtS0minVoltageChange, &Thlt_set::edtS0minVoltageClick},
        {ui_.sensor0.maxVoltage, &Thlt_set::edtS0MaxVoltageChange, &Thlt_set::edtS0MaxVoltageClick},
        {ui_.sensor0.upValue, &Thlt_set::edtS0UpValueChange, &Thlt_set::edtS0UpValueClick},
        {ui_.sensor0.downValue, &Thlt_set::edtS0DownValueChange, &Thlt_set::edtS0DownValueClick},
        {ui_.sensor1.min, &Thlt_set::edtS1minChange, &Thlt_set::edtS1minClick},
        {ui_.sensor1.max, &Thlt_set::edtS1MaxChange, &Thlt_set::edtS1MaxClick},
        {ui_.sensor1.minVoltage, &Thlt_set::edtS1minVoltageChange, &Thlt_set::edtS1minVoltageClick},
        {ui_.sensor1.maxVoltage, &Thlt_set::edtS1MaxVoltageChange, &Thlt_set::edtS1MaxVoltageClick},
        {ui_.sensor1.upValue, &Thlt_set::edtS1UpValueChange, &Thlt_set::edtS1UpValueClick},
        {ui_.sensor1.downValue, &Thlt_set::edtS1DownValueChange, &Thlt_set::edtS1DownValueClick},
        {ui_.edtTdis, &Thlt_set::edtTdisChange, &Thlt_set::edtTdisClick},
        {ui_.edtTupLimit, &Thlt_set::edtTupLimitChange, &Thlt_set::edtTupLimitClick},
        {ui_.edtTdownLimit, &Thlt_set::edtTdownLimitChange, &Thlt_set::edtTdownLimitClick},
    };
    for (const EditHandlers& h : handlers) {
        connect(h.edit, &QLineEdit::textChanged, this, Guarded(h.change));
        connect(h.edit, &ClickableEdit::clicked, this, Guarded(h.click));
    }
}

}  // namespace velgrin
