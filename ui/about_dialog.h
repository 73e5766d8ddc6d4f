// The About dialog (template 139): picture, name, version, rights notice
// and two links.
#pragma once

#include "ui/hyperlink.h"
#include "ui/template_dialog.h"

namespace qorvan::ui {

class AboutDialog : public TemplateDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    CHyperLink& webLink() { return webLink_; }
    CHyperLink& mailLink() { return mailLink_; }

protected:
    void DoDataExchange() override;
    bool OnInitDialog() override;

private:
    // Owned here and handed to the dialog as children by SubclassDlgItem;
    // destroyed before the dialog's own children are.
    CHyperLink webLink_;
    CHyperLink mailLink_;
};

// The 130 x 32 picture of bitmap resource 140, in 256 colours.
QImage aboutPicture();

} // namespace qorvan::ui
