// Small helpers the dialogs share: named widgets and combo boxes filled from
// the record's indexes.
#pragma once

#include <QComboBox>
#include <QStringList>
#include <QWidget>

#include <cstdint>

namespace qor::gui {

template <class W, class... Args>
W* named(const char* objectName, Args&&... args) {
    W* w = new W(std::forward<Args>(args)...);
    w->setObjectName(QString::fromLatin1(objectName));
    return w;
}

// Selects the stored index; one outside the list (a damaged file) leaves the
// first item chosen.
inline void selectIndex(QComboBox* combo, int32_t index) {
    if (index >= 0 && index < combo->count()) combo->setCurrentIndex(index);
}

inline QComboBox* namedCombo(const char* objectName, const QStringList& items) {
    QComboBox* combo = named<QComboBox>(objectName);
    combo->addItems(items);
    return combo;
}

}  // namespace qor::gui
