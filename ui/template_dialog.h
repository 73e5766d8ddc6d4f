// A modal dialog built from a template of the current template source:
// controls created from the template's table, placed in dialog units of the
// template's font, found by id. Subclasses add their initialisation and
// connect their handlers, as dialogs of the framework did.
#pragma once

#include "ui/dialog_units.h"
#include "ui/template.h"

#include <QDialog>
#include <QImage>

#include <functional>
#include <vector>

namespace qorvan::ui {

// A control with an attach step, run when SubclassDlgItem binds it.
class Subclassable {
public:
    virtual ~Subclassable() = default;
    virtual void PreSubclassWindow() = 0;
};

class TemplateDialog : public QDialog {
    Q_OBJECT
public:
    TemplateDialog(int templateId, QWidget* parent);

    // Creates the dialog and runs it until it ends; IDOK or IDCANCEL, or -1
    // without running when the current source has no such template.
    int DoModal();
    // Creates the controls and runs the initialisation without showing the
    // dialog; false when the template is missing. DoModal calls it.
    bool Create();
    bool created() const { return created_; }

    QWidget* GetDlgItem(int id) const;
    template <class T> T* DlgItem(int id) const { return qobject_cast<T*>(GetDlgItem(id)); }
    int templateId() const { return templateId_; }
    BaseUnits units() const { return units_; }

    // Test seam: called once each dialog's modal run has begun (the dialog is
    // shown), for example to inspect and close it. Null removes it. Setting
    // the environment variable QORVAN_TEST_CLOSE_DIALOGS does the same for
    // whole programs: each dialog prints one line describing itself to
    // standard error and closes as if cancelled.
    using ModalHook = std::function<void(TemplateDialog&)>;
    static void setModalHook(ModalHook hook);

    // One line: the template id, caption, client size and picture sizes.
    std::string describe() const;

    // OK and Cancel as the framework routes them (Enter, Escape, close box).
    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }

protected:
    // Binds controls to members (SubclassDlgItem) before the initialisation.
    virtual void DoDataExchange() { }
    virtual bool OnInitDialog() { return true; }
    virtual void OnOK() { done(IDOK); }
    virtual void OnCancel() { done(IDCANCEL); }

    // Puts control in the place of the template's control id: its geometry,
    // text, font, id and style are taken over and the plain control goes.
    void SubclassDlgItem(int id, QWidget* control);

private:
    QWidget* createControl(const ControlTemplate& c);

    int templateId_;
    bool created_ = false;
    BaseUnits units_ {};
    std::vector<std::pair<int, QWidget*>> items_;
};

// The bitmap resources of the templates (the About picture), or a null image.
QImage templateImage(int id);

// The control's template style and id, kept on each control.
std::uint32_t controlStyle(const QWidget* control);
int controlId(const QWidget* control);

} // namespace qorvan::ui
