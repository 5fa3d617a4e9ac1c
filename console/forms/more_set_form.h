// "More Settings": what /etc/Qor.extra holds (further ports, secure mail,
// commands, the outage delay). OK checks the values with the file's own
// parser and writes the file at once; a fault is said on the form, which stays.
#pragma once

#include <vector>

#include "console_form.h"
#include "extra_form.h"
#include "extra_in_force.h"

namespace qor::console {

constexpr int kMorePortFields = 8;
constexpr int kMoreCommandFields = 4;

class CMoreSetForm : public CConsoleForm {
public:
    explicit CMoreSetForm(ExtraInForce& extra);

private:
    int onEnter() override;
    ExtraFields fields() const;
    void say(const char* text);

    ExtraInForce& extra_;
    std::vector<CField*> ports_;
    std::vector<CCheckField*> security_;
    CField* mailPort_;
    std::vector<CCheckField*> auth_;
    CField* user_;
    CField* password_;
    CField* caFile_;
    std::vector<CField*> commands_;
    std::vector<std::string> keptCommands_;  // beyond the form's fields: kept as they are
    CField* timeout_;
    CField* delay_;
    CField* message_;
    bool replaceConfirmed_ = false;
};

}  // namespace qor::console
