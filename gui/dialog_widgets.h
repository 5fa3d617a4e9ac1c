// Small helpers the dialogs share: named widgets and combo boxes filled from
// the record's indexes.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStringList>
#include <QWidget>

#include <cstdint>

#include "port_tables.h"

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

// The port combo of the pager and modem settings, one item per port index.
inline QComboBox* portCombo(const char* objectName) {
    QStringList items;
    for (int i = 0; i < kPortCount; ++i) items << QString::fromLatin1(portLabel(i));
    return namedCombo(objectName, items);
}

inline QComboBox* modemSpeedCombo(const char* objectName) {
    QStringList items;
    for (const ModemSpeed& speed : kModemSpeeds) items << QString::fromLatin1(speed.label);
    return namedCombo(objectName, items);
}

// The OK and Cancel buttons of a dialog in a row of their own, OK the default.
// `centred` puts `gap` pixels between them in the middle of the row; otherwise
// they sit at its right end.
struct OkCancelNames {
    const char* ok;
    QString okText;
    const char* cancel;
    QString cancelText;
};
inline QHBoxLayout* okCancelRow(QDialog* dialog, const OkCancelNames& names, bool centred, int gap = 0) {
    QPushButton* ok = named<QPushButton>(names.ok, names.okText);
    QPushButton* cancel = named<QPushButton>(names.cancel, names.cancelText);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    if (gap > 0) row->addSpacing(gap);
    row->addWidget(cancel);
    if (centred) row->addStretch();
    return row;
}

}  // namespace qor::gui
