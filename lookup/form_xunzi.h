#pragma once
// The directory-service address window: shows and changes the address kept as the text
// of /newdataset/url in the application folder's config\config.xml.

#include <QWidget>
#include <memory>
#include <string>
#include <string_view>

#include "platform/xml_document.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace lookup {

class form_xunzi : public QWidget {
public:
    static constexpr std::u16string_view AddressPath = u"/newdataset/url";

    // Runs Form_Initialize, then builds the controls and runs Form_Load.
    explicit form_xunzi(QWidget* parent = nullptr);
    // Form_Terminate.
    ~form_xunzi() override;

    QPushButton* cmd_ok = nullptr;
    QPushButton* cmd_exit = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtContent = nullptr;

    std::u16string istrXMLPath;
    std::unique_ptr<platform::XmlDocument> pobjXMLDoc;

    // False when the program ends because another copy runs.
    bool Form_Initialize();
    void Form_Load();
    void cmd_ok_Click();
    void cmd_exit_Click();
    void Form_Terminate();

    void LoadXmlDocument(std::u16string_view path);
    std::u16string GetNodeText(std::u16string_view xpath);
    bool SetNodeText(std::u16string_view xpath, std::u16string_view value);
    bool SaveXmlDocument(std::u16string_view path);
};

} // namespace lookup
