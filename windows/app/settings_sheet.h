// What the e-mail and pager sheets share: the sheet with only OK and Cancel,
// and the page that edits a list (addresses or pager numbers).
#pragma once

#include <windows.h>

#include <string>

#include "list_editor.h"
#include "property_sheet.h"

namespace qorwin {

class CSettingsSheet : public PropertySheetDialog {
public:
    // The title from the language library, else the program's own string.
    INT_PTR Run(HINSTANCE inst, HWND owner, unsigned titleText, int fallbackString);

protected:
    // Hides Apply and Help and moves OK and Cancel to the right.
    void OnInitialized() override;
};

class CListPage : public PropertyPage {
public:
    struct Controls {
        int list, name, second, add, remove;
        int listLabel, nameLabel, secondLabel;
        unsigned listText, nameText, secondText;
    };

    CListPage(int resourceId, const Controls& controls, ListEditor& list)
        : PropertyPage(resourceId), c_(controls), list_(list) {}

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnApply() override;

private:
    void Add();
    void Remove();

    Controls c_;
    ListEditor& list_;
};

}  // namespace qorwin
