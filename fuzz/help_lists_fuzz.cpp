// /etc/Qor.his and /etc/Qor.bmk of any content: the help viewer's reader of
// the Qt 3.3 data-stream string list, its history trim, and a write of what
// was read that reads back the same.
#include <QString>
#include <QStringList>

#include "fuzz_support.h"
#include "help_lists.h"

using namespace qor::gui;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    qor::fuzz::InputFile file("help", data, size);
    const QString path = QString::fromLocal8Bit(file.path());
    QStringList list = readStringListFile(path);
    // Every entry takes at least its 4-byte length in the file.
    FUZZ_CHECK(static_cast<size_t>(list.size()) * 4 <= size);
    QStringList kept = trimHistory(list);
    FUZZ_CHECK(kept.size() <= kHistoryKept && kept.size() <= list.size());
    if (!list.isEmpty()) FUZZ_CHECK(kept.last() == list.last());

    // The write flushes to disk, so only some inputs take it.
    if (size % 16 == 0) {
        const QString copy = path + ".copy";
        FUZZ_CHECK(writeStringListFile(copy, list));
        FUZZ_CHECK(readStringListFile(copy) == list);
    }
    return 0;
}
