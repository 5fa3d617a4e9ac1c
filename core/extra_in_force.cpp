#include "extra_in_force.h"

namespace qor {

ExtraLoad ExtraInForce::load() {
    settings_ = ExtraSettings{};
    state_ = path_.empty() ? ExtraLoad::Absent : loadExtraSettings(path_.c_str(), settings_);
    if (listener_) listener_(settings_);
    return state_;
}

void ExtraInForce::onChange(std::function<void(const ExtraSettings&)> listener) {
    listener_ = std::move(listener);
    if (listener_) listener_(settings_);
}

bool ExtraInForce::save(const ExtraSettings& edited) {
    if (path_.empty() || !saveExtraSettings(path_.c_str(), edited)) return false;
    settings_ = edited;
    state_ = ExtraLoad::Loaded;
    if (listener_) listener_(settings_);
    return true;
}

}  // namespace qor
