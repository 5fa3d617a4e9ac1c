#include "more_set_form.h"

#include <string>

#include "field_text.h"
#include "form_keys.h"

namespace qor::console {
namespace {

constexpr int kMessageWidth = 70;

// An entry that scrolls sideways for a text longer than it shows (a by-id
// path, a command line).
CField* longEntry(CField* f, int maxChars) {
    ::field_opts_off(f->get_field(), O_STATIC);
    ::set_max_field(f->get_field(), maxChars);
    return f;
}

std::string entry(const CField* f) {
    std::string t = trimTrailing(f->text());
    size_t a = t.find_first_not_of(' ');
    return a == std::string::npos ? std::string() : t.substr(a);
}

}  // namespace

CMoreSetForm::CMoreSetForm(ExtraInForce& extra) : CConsoleForm(22, 75, 22, 75), extra_(extra) {
    const ExtraFields v = extraFields(extra.settings());
    add<CButton>("[   OK   ]", 19, 15);
    add<CButton>("[ Cancel ]", 19, 50);
    add<CLabel>(" Further UPS ports, searched after /dev/ttyS0 and /dev/ttyS1:", 1, 1);
    for (int i = 0; i < kMorePortFields; ++i) {
        CField* f = longEntry(add<CTextEntry>(34, 2 + i / 2, i % 2 == 0 ? 2 : 38), 255);
        if (static_cast<size_t>(i) < v.ports.size()) f->setText(v.ports[static_cast<size_t>(i)].c_str());
        ports_.push_back(f);
    }
    add<CLabel>(" Mail security:", 7, 1);
    security_.push_back(addRadio(" plain", 7, 18, v.security == MailSecurity::Plain));
    security_.push_back(addRadio(" starttls", 7, 30, v.security == MailSecurity::StartTls));
    security_.push_back(addRadio(" tls", 7, 45, v.security == MailSecurity::Tls));
    add<CLabel>(" Port:", 7, 56);
    mailPort_ = add<CIntegerEntry>(6, 7, 63, 0, 0, 65535);
    if (v.mailPort != 0) mailPort_->setText(std::to_string(v.mailPort).c_str());
    add<CLabel>(" Login:", 8, 1);
    auth_.push_back(addRadio(" any", 8, 18, v.auth == MailAuth::Any));
    auth_.push_back(addRadio(" plain", 8, 30, v.auth == MailAuth::Plain));
    auth_.push_back(addRadio(" login", 8, 45, v.auth == MailAuth::Login));
    add<CLabel>(" User:", 9, 1);
    user_ = longEntry(add<CTextEntry>(22, 9, 9), 255);
    user_->setText(v.user.c_str());
    add<CLabel>(" Password:", 9, 33);
    password_ = longEntry(add<CTextEntry>(22, 9, 44), 255);
    ::field_opts_off(password_->get_field(), O_PUBLIC);  // typed and kept, never shown
    password_->setText(v.password.c_str());
    add<CLabel>(" CA file:", 10, 1);
    caFile_ = longEntry(add<CTextEntry>(55, 10, 12), 255);
    caFile_->setText(v.caFile.c_str());
    add<CLabel>(" Commands (events program arguments), e.g. acfail,test /usr/sbin/x -q", 12, 1);
    for (int i = 0; i < kMoreCommandFields; ++i) {
        CField* f = longEntry(add<CTextEntry>(70, 13 + i, 2), 4096);
        if (static_cast<size_t>(i) < v.commands.size()) f->setText(v.commands[static_cast<size_t>(i)].c_str());
        commands_.push_back(f);
    }
    for (size_t i = kMoreCommandFields; i < v.commands.size(); ++i) keptCommands_.push_back(v.commands[i]);
    add<CLabel>(" Command killed after:", 17, 1);
    timeout_ = add<CIntegerEntry>(5, 17, 24, 0, 1, kMaxCommandTimeoutSec);
    timeout_->setText(std::to_string(v.commandTimeoutSec).c_str());
    add<CLabel>("s  Outage delay:", 17, 30);
    delay_ = add<CIntegerEntry>(5, 17, 47, 0, 0, kMaxOutageDelaySec);
    delay_->setText(std::to_string(v.outageDelaySec).c_str());
    add<CLabel>("s (0: off)", 17, 53);
    message_ = add<CLabel>(std::string(kMessageWidth, ' ').c_str(), 18, 2);
    addGroup(security_);
    addGroup(auth_);
    finish("More Settings");
    if (extra.state() == ExtraLoad::Refused) {
        say("Qor.extra was refused at start (see the system log): defaults shown.");
    } else if (!keptCommands_.empty()) {
        say(("The file's commands after the 4th are kept as they are (" + std::to_string(keptCommands_.size()) +
             " more).").c_str());
    }
}

void CMoreSetForm::say(const char* text) {
    std::string t(text);
    t.resize(kMessageWidth, ' ');
    message_->setText(t.c_str());
}

ExtraFields CMoreSetForm::fields() const {
    ExtraFields f;
    for (const CField* p : ports_) f.ports.push_back(entry(p));
    int sec = marked(security_), auth = marked(auth_);
    f.security = static_cast<MailSecurity>(sec < 0 ? 0 : sec);
    f.auth = static_cast<MailAuth>(auth < 0 ? 0 : auth);
    f.mailPort = leadingNumber(mailPort_->text());
    f.user = entry(user_);
    f.password = trimTrailing(password_->text());
    f.caFile = entry(caFile_);
    for (const CField* c : commands_) f.commands.push_back(entry(c));
    f.commands.insert(f.commands.end(), keptCommands_.begin(), keptCommands_.end());
    f.commandTimeoutSec = leadingNumber(timeout_->text());
    f.outageDelaySec = leadingNumber(delay_->text());
    return f;
}

int CMoreSetForm::onEnter() {
    CField* cur = currentField();
    if (cur == nullptr) return REQ_NEXT_FIELD;
    EnterAction action = enterAction(cur->text(), cur->kind() == FieldKind::Button, cancelWord());
    if (action == EnterAction::Cancel) return endRequest();
    if (action != EnterAction::Save) return REQ_NEXT_FIELD;
    // The field being typed in is only read once the library has taken it.
    ::form_driver(form, REQ_VALIDATION);
    ExtraSettings edited;
    std::string why;
    if (!extraFromFields(fields(), edited, why)) {
        say(why.c_str());
        return kConsumed;
    }
    if (extra_.state() == ExtraLoad::Refused && !replaceConfirmed_) {
        replaceConfirmed_ = true;
        say("The refused file is replaced when you press OK again.");
        return kConsumed;
    }
    if (!extra_.save(edited)) {
        say(extra_.path().empty() ? "There is no settings file to write."
                                  : "Qor.extra could not be written (see the system log); nothing changed.");
        return kConsumed;
    }
    return endRequest();
}

}  // namespace qor::console
