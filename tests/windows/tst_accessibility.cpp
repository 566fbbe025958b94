// What a screen reader finds in the windows: each control reachable through the accessibility
// tree, with the role and the name a person needs to use it. (The Tab order, the other half of
// working without a mouse, is checked by tst_MainProgram's tabOrder.)

#include "support/MainWindowFixture.h"
#include "windows/about/frmAbout.h"
#include "windows/change_password/Change.h"
#include "windows/login/frmLogin.h"

#include <QAccessible>
#include <QAction>
#include <QMenu>
#include <QTest>

#include <functional>

using namespace quillbox;

namespace {

struct Node {
    QAccessible::Role role;
    QString name;
    QString description;
};

// Menu titles are actions without names of their own: they go by their menu's name.
QString keyOf(QObject* o) {
    if (auto* action = qobject_cast<QAction*>(o); action && action->menu())
        return action->menu()->objectName();
    return o ? o->objectName() : QString();
}

// Every named object the tree reaches from the window, walking child(i) as assistive
// technology does. Objects not reached are not in the result, and so fail their rows.
QHash<QString, Node> walk(QWidget* window) {
    QHash<QString, Node> found;
    std::function<void(QAccessibleInterface*, int)> visit = [&](QAccessibleInterface* iface,
                                                                int depth) {
        if (!iface || !iface->isValid() || depth > 12)
            return;
        const QString key = keyOf(iface->object());
        if (!key.isEmpty() && !key.startsWith(QLatin1String("qt_")) && !found.contains(key))
            found.insert(key, {iface->role(), iface->text(QAccessible::Name),
                               iface->text(QAccessible::Description)});
        for (int i = 0; i < iface->childCount(); ++i)
            visit(iface->child(i), depth + 1);
    };
    visit(QAccessible::queryAccessibleInterface(window), 0);
    return found;
}

} // namespace

class TestAccessibility : public QObject, public test::MainWindowFixture {
    Q_OBJECT

    // Roles that a person acts on: each needs a name to be told apart.
    static bool isControl(QAccessible::Role role) {
        return role == QAccessible::EditableText || role == QAccessible::PushButton ||
               role == QAccessible::List || role == QAccessible::MenuItem;
    }

    QHash<QString, Node> tree(const QString& window) {
        if (window == QLatin1String("main")) {
            load();
            return walk(window_.get());
        }
        std::unique_ptr<QWidget> w;
        if (window == QLatin1String("login"))
            w = std::make_unique<windows::frmLogin>(fakes_->services);
        else if (window == QLatin1String("change"))
            w = std::make_unique<windows::Change>(fakes_->services);
        else
            w = std::make_unique<windows::frmAbout>(fakes_->services);
        return walk(w.get());
    }

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void controls_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("object");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("description"); // checked where not null
        using A = QAccessible;
        auto row = [](const char* window, const char* object, A::Role role, const char* name,
                      const char* description = nullptr) {
            QTest::addRow("%s %s", window, object)
                << window << object << int(role) << QString::fromUtf8(name)
                << (description ? QString::fromUtf8(description) : QString());
        };
        row("login", "frmLogin", A::Dialog, "Authentication");
        row("login", "lblLabels", A::StaticText, "Password:");
        row("login", "txtPassword", A::EditableText, "Password:");
        row("login", "cmdOK", A::PushButton, "OK");
        row("login", "cmdCancel", A::PushButton, "Cancel");

        row("main", "MainProgram", A::Window, "Quillbox");
        row("main", "File", A::MenuItem, "File");
        row("main", "Help", A::MenuItem, "Help");
        row("main", "cmdNew", A::PushButton, "Add New", "Adds a new entry to the Quillbox.");
        row("main", "Label1", A::StaticText, "Last Name, First Name");
        row("main", "txtName", A::EditableText, "Last Name, First Name");
        row("main", "Label3", A::StaticText, "E-mail Address");
        row("main", "txtEmail", A::EditableText, "E-mail Address");
        row("main", "Label5", A::StaticText, "Phone Number");
        row("main", "txtPhone", A::EditableText, "Phone Number");
        row("main", "Label7", A::StaticText, "Address");
        row("main", "txtAddress", A::EditableText, "Address");
        row("main", "cmdClear1", A::PushButton, "Clear Fields", "Empties the Add New boxes.");
        row("main", "cmdUpdate", A::PushButton, "Update");
        row("main", "Label2", A::StaticText, "Last Name, First Name");
        row("main", "txtUpdateName", A::EditableText, "Last Name, First Name");
        row("main", "Label4", A::StaticText, "E-mail Address");
        row("main", "txtUpdateEmail", A::EditableText, "E-mail Address");
        row("main", "Label6", A::StaticText, "Phone Number");
        row("main", "txtUpdatePhone", A::EditableText, "Phone Number");
        row("main", "Label8", A::StaticText, "Address");
        row("main", "txtUpdateAddress", A::EditableText, "Address");
        // The small buttons' captions say what they do but not to what.
        row("main", "cmdCopyEmail", A::PushButton, "Copy e-mail address",
            "Copies the selected E-mail Address to the clipboard.");
        row("main", "cmdSend", A::PushButton, "Send e-mail");
        row("main", "cmdAddToList", A::PushButton, "Add e-mail address to send list",
            "Adds the selected e-mail address to a send list.");
        row("main", "cmdCopyPhone", A::PushButton, "Copy phone number",
            "Copies the selected Phone Number to the clipboard.");
        row("main", "cmdCopyAddress", A::PushButton, "Copy address",
            "Copies the selected Address to the clipboard.");
        row("main", "cmdClear", A::PushButton, "Clear Fields", "Empties the Update boxes.");
        row("main", "Label9", A::StaticText,
            "Click on an entry below to view or edit contact information.");
        row("main", "lstRecords", A::List, "Contacts");
        row("main", "cmdDelete", A::PushButton, "Delete");
        row("main", "Command1", A::PushButton, "Exit");
        row("main", "txtEmailList", A::EditableText, "Send list");
        row("main", "cmdSendList", A::PushButton, "Send");
        row("main", "cmdClearEmailList", A::PushButton, "Clear");
        row("main", "cmdAddAll", A::PushButton, "Add Everybody");
        row("main", "cmdDone", A::PushButton, "Done");
        row("main", "imgIcon", A::Graphic, "Quillbox");

        row("change", "Change", A::Dialog, "Change Password");
        row("change", "Label1", A::StaticText, "New Password:");
        row("change", "txtChangePassword", A::EditableText, "New Password:");
        row("change", "cmdOK1", A::PushButton, "OK");

        row("about", "frmAbout", A::Dialog, "About Quillbox");
        row("about", "cmdOK3", A::PushButton, "OK");
    }
    void controls() {
        QFETCH(QString, window);
        QFETCH(QString, object);
        QFETCH(int, role);
        QFETCH(QString, name);
        QFETCH(QString, description);
        const QHash<QString, Node> nodes = tree(window);
        QVERIFY2(nodes.contains(object), "not reached from the window");
        const Node& node = nodes[object];
        QCOMPARE(int(node.role), role);
        QCOMPARE(node.name, name);
        if (!description.isNull())
            QCOMPARE(node.description, description);
    }

    // Catches a control added later without a name.
    void everyControlNamed_data() {
        QTest::addColumn<QString>("window");
        for (const char* w : {"login", "main", "change", "about"})
            QTest::newRow(w) << w;
    }
    void everyControlNamed() {
        QFETCH(QString, window);
        const QHash<QString, Node> nodes = tree(window);
        QStringList unnamed;
        int controls = 0;
        for (auto it = nodes.begin(); it != nodes.end(); ++it) {
            if (!isControl(it->role))
                continue;
            ++controls;
            if (it->name.trimmed().isEmpty())
                unnamed << it.key();
        }
        QVERIFY(controls > 0);
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QLatin1String(", "))));
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
