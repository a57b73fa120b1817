// The Enter Address dialog and the descriptors it remembers in
// DefaultInstrDescr.ini.

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <fcntl.h>
#include <linux/capability.h>
#include <memory>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

#include "focuschain.h"
#include "kd7010fp_fcenteraddress.h"
#include "kd7010fp_fcenteraddressfc.h"
#include "kd7010fp_genfc.h"
#include "modalscript.h"

namespace {

const QString defaultDescriptor = QStringLiteral("TCPIP::192.168.2.100::INSTR");

// A card object of any model; the dialog reads nothing but modelCode.
class ModelCard : public kd7010fp_genFC
{
public:
    explicit ModelCard(qint32 code) { modelCode = code; }
    bool checkModel(quint16) override { return false; }
    QString getDescription() override { return QString(); }
    QString getCopyright() override { return QString(); }
    QString getSfpRevision() override { return QString(); }
    QString getDriverRevision() override { return QString(); }
    QString getErrorMessage(ViStatus) override { return QString(); }
    ViStatus initCard(const char *, quint16 *, quint16, quint16, ViSession *) override { return VI_ERROR_NSUP_OPER; }
    ViStatus initAndStore(const char *, quint16 *, qint16, quint16, quint16, ViSession *) override
    {
        return VI_ERROR_NSUP_OPER;
    }
    ViStatus reinitCard(ViSession *) override { return VI_ERROR_NSUP_OPER; }
    ViStatus closeCard(ViSession) override { return 0; }
};

QStringList entries(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

// Root passes every permission check; while this lives it does not, so a
// read-only file is read-only for the test whoever runs it.
class NoPermissionOverride
{
public:
    NoPermissionOverride()
    {
        if (geteuid() != 0 || syscall(SYS_capget, &header, saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = { saved[0], saved[1] };
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        active = syscall(SYS_capset, &header, reduced) == 0;
    }
    ~NoPermissionOverride()
    {
        if (active)
            syscall(SYS_capset, &header, saved);
    }

private:
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct saved[2] {};
    bool active = false;
};

// Lets go of anything that opens the FIFO at `path` and waits there for a
// writer, and records that it happened: a panel that opens the FIFO fails
// the test instead of hanging it.
class FifoWatch
{
public:
    explicit FifoWatch(const QString &path)
    {
        if (path.isEmpty())
            return;
        thread = std::thread([this, name = QFile::encodeName(path)] {
            while (!stop) {
                // Succeeds only while the FIFO is open for reading.
                const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    opened = true;
                    ::close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    }
    ~FifoWatch()
    {
        stop = true;
        if (thread.joinable())
            thread.join();
    }
    bool wasOpened() const { return opened; }

private:
    std::atomic<bool> stop { false };
    std::atomic<bool> opened { false };
    std::thread thread;
};

} // namespace

class tst_EnterAddress : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void settingsPath();
    void singleRowVariant();
    void firstUse();
    void history_data();
    void history();
    void multiRowCountThree();
    void twoModelsInOneFile();
    void storedNumbers_data();
    void storedNumbers();
    void settingsFile_data();
    void settingsFile();
    void unreadableFileStillReturnsEntries();
    void keyboard_data();
    void keyboard();

private:
    QString iniPath() const { return profile->path() + QStringLiteral("/Keldor/DefaultInstrDescr.ini"); }
    // Writes a group of keys for model 7240 straight into the file.
    void store(const QString &group, const QMap<QString, QVariant> &values)
    {
        QSettings settings(iniPath(), QSettings::IniFormat);
        settings.beginGroup(group);
        for (auto it = values.begin(); it != values.end(); ++it)
            settings.setValue(it.key(), it.value());
    }
    QVariant stored(const QString &key) const
    {
        QSettings settings(iniPath(), QSettings::IniFormat);
        return settings.value(key);
    }
    void accept(kd7010fp_fcEnterAddress &dialog, QStringList *descriptors = nullptr, QList<int> *numbers = nullptr)
    {
        QStringList d;
        QList<int> n;
        dialog.saveDefaults(d, n);
        if (descriptors)
            *descriptors = d;
        if (numbers)
            *numbers = n;
    }

    std::unique_ptr<QTemporaryDir> profile;
    ModelCard card7240 { 0x7240 };
    ModelCard card6208 { 0x6208 };
    ModelCard card6216 { 0x6216 };
};

void tst_EnterAddress::init()
{
    profile = std::make_unique<QTemporaryDir>();
    QVERIFY(profile->isValid());
    qputenv("ALLUSERSPROFILE", profile->path().toLocal8Bit());
}

void tst_EnterAddress::settingsPath()
{
    QCOMPARE(kd7010fp_fcEnterAddress(&card7240).iniFileName, iniPath());

    // Without the variable the file goes to the user's configuration folder,
    // never to a backslash-named file in the current folder.
    qunsetenv("ALLUSERSPROFILE");
    const QString path = kd7010fp_fcEnterAddress::settingsFilePath();
    QVERIFY(!path.contains(QLatin1Char('\\')));
    QVERIFY(QDir::isAbsolutePath(path));
    QVERIFY(path.endsWith(QStringLiteral("/Keldor/DefaultInstrDescr.ini")));
    qputenv("ALLUSERSPROFILE", "");
    QCOMPARE(kd7010fp_fcEnterAddress::settingsFilePath(), path);
}

void tst_EnterAddress::singleRowVariant()
{
    kd7010fp_fcEnterAddress dialog(&card7240);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Vantix 7240 SFP: Enter Function Card Address"));
    QCOMPARE(dialog.modelName, QStringLiteral("7240"));
    QVERIFY(dialog.rows[0]);
    for (int r = 1; r < kd7010fp_fcEnterAddress::maxRows; ++r)
        QVERIFY(!dialog.rows[r]);
    QVERIFY(dialog.countBox->isHidden());
    QCOMPARE(dialog.findChildren<kd7010fp_fcEnterAddressFc *>().size(), 1);
    QStringList numbers = entries(dialog.rows[0]->fcNumberBox);
    QCOMPARE(numbers, QStringList({ "Select", "FC 1", "FC 2", "FC 3", "FC 4", "FC 5", "FC 6", "FC 7", "FC 8" }));
    QVERIFY(dialog.rows[0]->descriptorBox->isEditable());
}

void tst_EnterAddress::firstUse()
{
    kd7010fp_fcEnterAddress dialog(&card7240);
    dialog.loadDefaults();
    QCOMPARE(entries(dialog.rows[0]->descriptorBox), QStringList(defaultDescriptor));
    QCOMPARE(dialog.rows[0]->descriptorBox->currentText(), defaultDescriptor);
    QCOMPARE(dialog.rows[0]->fcNumberBox->currentText(), QStringLiteral("Select"));

    QStringList descriptors;
    QList<int> numbers;
    accept(dialog, &descriptors, &numbers);
    QCOMPARE(descriptors, QStringList(defaultDescriptor));
    QCOMPARE(numbers, QList<int>({ 0 }));

    QCOMPARE(stored("7240/1.1.Descriptor").toString(), defaultDescriptor);
    for (int k = 2; k <= 5; ++k) {
        QVERIFY(stored(QStringLiteral("7240/1.%1.Descriptor").arg(k)).isValid());
        QCOMPARE(stored(QStringLiteral("7240/1.%1.Descriptor").arg(k)).toString(), QString());
    }
    QCOMPARE(stored("7240/1.FC_Number").toInt(), 0);
    QCOMPARE(stored("7240/FC_Count").toInt(), 1);
    QVERIFY(!stored("7240/2.1.Descriptor").isValid());
}

// Starting from the stored history A..E: what the operator does, the history
// stored, and what the next showing offers.
// clang-format off
void tst_EnterAddress::history_data()
{
    QTest::addColumn<QString>("typed");      // text typed into the box, or
    QTest::addColumn<int>("picked");         // the entry picked from the list (-1: none)
    QTest::addColumn<QStringList>("stored"); // 1.1 .. 1.5
    QTest::addColumn<QStringList>("offered");

    const QString A = "VXI0::1::INSTR", B = "VXI0::2::INSTR", C = "TCPIP0::10.0.0.3::INSTR",
                  D = "TCPIP0::10.0.0.4::INSTR", E = "GPIB0::5::INSTR", N = "VXI1::9::INSTR";
    QTest::newRow("unchanged") << QString() << 0 << QStringList({A, B, C, D, E}) << QStringList({A, B, C, D, E});
    QTest::newRow("new text drops the fifth") << N << -1 << QStringList({N, A, B, C, D})
                                              << QStringList({N, A, B, C, D});
    QTest::newRow("older entry picked moves up") << QString() << 2 << QStringList({C, A, B, D, E})
                                                 << QStringList({C, A, B, D, E});
    QTest::newRow("older entry typed moves up") << E << -1 << QStringList({E, A, B, C, D})
                                                << QStringList({E, A, B, C, D});
    QTest::newRow("empty row 1") << "" << -1 << QStringList({"", A, B, C, D})
                                 << QStringList({defaultDescriptor, A, B, C, D});
}
// clang-format on

void tst_EnterAddress::history()
{
    QFETCH(QString, typed);
    QFETCH(int, picked);
    QFETCH(QStringList, stored);
    QFETCH(QStringList, offered);

    const QStringList before = { "VXI0::1::INSTR", "VXI0::2::INSTR", "TCPIP0::10.0.0.3::INSTR",
        "TCPIP0::10.0.0.4::INSTR", "GPIB0::5::INSTR" };
    QMap<QString, QVariant> keys;
    for (int k = 1; k <= 5; ++k)
        keys.insert(QStringLiteral("1.%1.Descriptor").arg(k), before.at(k - 1));
    store("7240", keys);

    kd7010fp_fcEnterAddress dialog(&card7240);
    dialog.loadDefaults();
    QComboBox *box = dialog.rows[0]->descriptorBox;
    QCOMPARE(entries(box), before);
    QCOMPARE(box->currentText(), before.first());
    if (picked >= 0)
        box->setCurrentIndex(picked);
    else
        box->setEditText(typed);

    QStringList descriptors;
    accept(dialog, &descriptors);
    QCOMPARE(descriptors, QStringList(stored.first()));
    for (int k = 1; k <= 5; ++k)
        QCOMPARE(this->stored(QStringLiteral("7240/1.%1.Descriptor").arg(k)).toString(), stored.at(k - 1));

    dialog.loadDefaults();
    QCOMPARE(entries(box), offered);
    QCOMPARE(box->currentText(), offered.first());
}

void tst_EnterAddress::multiRowCountThree()
{
    kd7010fp_fcEnterAddress dialog(&card6208);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Vantix 6208 SFP: Enter Addresses of Function Cards"));
    for (int r = 0; r < 8; ++r)
        QVERIFY(dialog.rows[r]);
    QVERIFY(!dialog.countBox->isHidden());
    QCOMPARE(entries(dialog.countBox), QStringList({ "1", "2", "3", "4", "5", "6", "7", "8" }));

    dialog.loadDefaults();
    QCOMPARE(dialog.countBox->currentIndex(), 0);
    QVERIFY(dialog.rows[0]->isEnabled());
    QVERIFY(!dialog.rows[1]->isEnabled());
    // Rows 2..8 have no default descriptor.
    QCOMPARE(dialog.rows[1]->descriptorBox->count(), 0);
    QCOMPARE(dialog.rows[1]->descriptorBox->currentText(), QString());

    dialog.countBox->setCurrentIndex(2);
    for (int r = 0; r < 8; ++r) {
        QCOMPARE(dialog.rows[r]->isEnabled(), r < 3);
        dialog.rows[r]->descriptorBox->setEditText(QStringLiteral("VXI0::%1::INSTR").arg(r + 1));
        dialog.rows[r]->fcNumberBox->setCurrentIndex(r % 8 + 1);
    }

    QStringList descriptors;
    QList<int> numbers;
    accept(dialog, &descriptors, &numbers);
    QCOMPARE(descriptors, QStringList({ "VXI0::1::INSTR", "VXI0::2::INSTR", "VXI0::3::INSTR" }));
    QCOMPARE(numbers, QList<int>({ 1, 2, 3 }));
    for (int r = 1; r <= 8; ++r) {
        QCOMPARE(
            stored(QStringLiteral("6208/%1.1.Descriptor").arg(r)).toString(), QStringLiteral("VXI0::%1::INSTR").arg(r));
        QCOMPARE(stored(QStringLiteral("6208/%1.FC_Number").arg(r)).toInt(), r);
    }
    QCOMPARE(stored("6208/FC_Count").toInt(), 3);

    kd7010fp_fcEnterAddress again(&card6208);
    again.loadDefaults();
    QCOMPARE(again.countBox->currentIndex(), 2);
    QVERIFY(again.rows[2]->isEnabled());
    QVERIFY(!again.rows[3]->isEnabled());
    QCOMPARE(again.rows[7]->descriptorBox->currentText(), QStringLiteral("VXI0::8::INSTR"));
    QCOMPARE(again.rows[7]->fcNumberBox->currentIndex(), 8);
}

void tst_EnterAddress::twoModelsInOneFile()
{
    kd7010fp_fcEnterAddress multi(&card6216);
    multi.loadDefaults();
    multi.rows[0]->descriptorBox->setEditText("TCPIP0::10.6.2.16::INSTR");
    multi.rows[0]->fcNumberBox->setCurrentIndex(4);
    accept(multi);

    kd7010fp_fcEnterAddress single(&card7240);
    single.loadDefaults();
    single.rows[0]->descriptorBox->setEditText("VXI0::7::INSTR");
    single.rows[0]->fcNumberBox->setCurrentIndex(2);
    accept(single);

    QCOMPARE(stored("6216/1.1.Descriptor").toString(), QStringLiteral("TCPIP0::10.6.2.16::INSTR"));
    QCOMPARE(stored("6216/1.FC_Number").toInt(), 4);
    QCOMPARE(stored("7240/1.1.Descriptor").toString(), QStringLiteral("VXI0::7::INSTR"));
    QCOMPARE(stored("7240/1.FC_Number").toInt(), 2);

    multi.loadDefaults();
    QCOMPARE(multi.rows[0]->descriptorBox->currentText(), QStringLiteral("TCPIP0::10.6.2.16::INSTR"));
    QCOMPARE(multi.rows[0]->fcNumberBox->currentIndex(), 4);
}

// Stored card numbers and counts as text: what the boxes then show. Nothing
// outside the offered range may come back out of the dialog.
// clang-format off
void tst_EnterAddress::storedNumbers_data()
{
    QTest::addColumn<QString>("fcNumber");
    QTest::addColumn<QString>("fcCount");
    QTest::addColumn<int>("expectedNumber");
    QTest::addColumn<int>("expectedCountIndex");

    QTest::newRow("valid") << "3" << "1" << 3 << 0;
    QTest::newRow("highest") << "8" << "8" << 8 << 7;
    QTest::newRow("number above 8") << "9" << "9" << 0 << 0;
    QTest::newRow("negative") << "-1" << "0" << 0 << 0;
    QTest::newRow("huge") << "70000" << "-5" << 0 << 0;
    QTest::newRow("not a number") << "abc" << "many" << 0 << 0;
    QTest::newRow("empty") << "" << "" << 0 << 0;
    QTest::newRow("lowest int") << "-2147483648" << "-2147483648" << 0 << 0;
}
// clang-format on

void tst_EnterAddress::storedNumbers()
{
    QFETCH(QString, fcNumber);
    QFETCH(QString, fcCount);
    QFETCH(int, expectedNumber);
    QFETCH(int, expectedCountIndex);

    for (const QString group : { "7240", "6208" })
        store(group, { { "1.1.Descriptor", "VXI0::1::INSTR" }, { "1.FC_Number", fcNumber }, { "FC_Count", fcCount } });

    kd7010fp_fcEnterAddress single(&card7240);
    single.loadDefaults();
    QCOMPARE(single.rows[0]->fcNumberBox->currentIndex(), expectedNumber);
    QList<int> numbers;
    accept(single, nullptr, &numbers);
    QCOMPARE(numbers, QList<int>({ expectedNumber }));

    kd7010fp_fcEnterAddress multi(&card6208);
    multi.loadDefaults();
    QCOMPARE(multi.countBox->currentIndex(), expectedCountIndex);
    QCOMPARE(multi.rows[0]->fcNumberBox->currentIndex(), expectedNumber);
}

// A settings file that is damaged or cannot be used: what Enter Address
// offers, what the operator is told (once) on OK, and what becomes of the file.
// clang-format off
void tst_EnterAddress::settingsFile_data()
{
    QTest::addColumn<QString>("kind");         // "file", "read-only" or "fifo"
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("offered");
    QTest::addColumn<bool>("backup");          // the file is copied to .bak before it is written over
    QTest::addColumn<bool>("remembered");      // the new entry is stored and offered next time
    QTest::addColumn<QString>("reason");       // besides the file's name, what the warning says

    const QByteArray group = "[7240]\n1.1.Descriptor=VXI0::1::INSTR\n1.2.Descriptor=VXI0::2::INSTR\n"
                             "ShapeFolder=/data/shapes\n";
    const QStringList both = { "VXI0::1::INSTR", "VXI0::2::INSTR" };
    QString text = QString::fromLatin1(group).replace("\n", "\r\n");
    const QByteArray utf16 = QByteArray("\xff\xfe") + QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);

    QTest::newRow("unclosed [ in another group") << "file" << "[6208\n1.1.Descriptor=GPIB0::5::INSTR\n" + group
                                                 << both << true << true << "";
    QTest::newRow("broken line in its own group")
        << "file" << QByteArray("[7240\n1.1.Descriptor=VXI0::3::INSTR\n1.FC_Number=3\nShapeFolder=/data/shapes\n\x01\xff[=\n")
        << QStringList("VXI0::3::INSTR") << true << true << "";
    QTest::newRow("UTF-16 copy") << "file" << utf16 << both << true << true << "";
    QTest::newRow("read-only file") << "read-only" << group << both << false << false << "Permission denied";
    QTest::newRow("FIFO") << "fifo" << QByteArray() << QStringList(defaultDescriptor) << false << false
                          << "not a regular file";
}
// clang-format on

void tst_EnterAddress::settingsFile()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, content);
    QFETCH(QStringList, offered);
    QFETCH(bool, backup);
    QFETCH(bool, remembered);
    QFETCH(QString, reason);

    const QString path = iniPath();
    const QString bak = path + QStringLiteral(".bak");
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    if (kind == QLatin1String("fifo")) {
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        if (kind == QLatin1String("read-only"))
            QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    }
    const NoPermissionOverride asAnyUser;
    const FifoWatch watch(kind == QLatin1String("fifo") ? path : QString());

    kd7010fp_fcEnterAddress dialog(&card7240);
    dialog.loadDefaults();
    QComboBox *box = dialog.rows[0]->descriptorBox;
    QCOMPARE(entries(box), offered);

    box->setEditText("VXI0::4::INSTR");
    dialog.rows[0]->fcNumberBox->setCurrentIndex(1);
    ModalScript script;
    script.answer("OK").answer("OK");
    QStringList descriptors;
    accept(dialog, &descriptors);
    QCOMPARE(descriptors, QStringList("VXI0::4::INSTR"));
    accept(dialog); // the next OK tells nothing new
    QCOMPARE(script.seen.size(), 1);
    const QString told = script.seen.first().text;
    QVERIFY2(told.contains(QDir::toNativeSeparators(path)), qPrintable(told));
    QVERIFY2(told.contains(reason), qPrintable(told));
    QVERIFY2(told.contains(QDir::toNativeSeparators(bak)) == backup, qPrintable(told));

    QCOMPARE(QFile::exists(bak), backup);
    if (backup) {
        QFile copy(bak);
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), content);
    }
    dialog.loadDefaults();
    QCOMPARE(box->currentText() == QLatin1String("VXI0::4::INSTR"), remembered);
    if (remembered) // the rest of the file is kept
        QCOMPARE(stored("7240/ShapeFolder").toString(), QStringLiteral("/data/shapes"));
    QVERIFY(!watch.wasOpened());
    QCOMPARE(QFileInfo(path).isFile(), kind != QLatin1String("fifo"));
}

void tst_EnterAddress::unreadableFileStillReturnsEntries()
{
    // A folder where the file should be: it can be neither read nor written.
    QVERIFY(QDir().mkpath(iniPath()));

    kd7010fp_fcEnterAddress dialog(&card7240);
    dialog.loadDefaults();
    QCOMPARE(entries(dialog.rows[0]->descriptorBox), QStringList(defaultDescriptor));

    dialog.rows[0]->descriptorBox->setEditText("VXI0::5::INSTR");
    dialog.rows[0]->fcNumberBox->setCurrentIndex(5);
    ModalScript script;
    script.answer("OK");
    QStringList descriptors;
    QList<int> numbers;
    accept(dialog, &descriptors, &numbers);
    QCOMPARE(descriptors, QStringList("VXI0::5::INSTR"));
    QCOMPARE(numbers, QList<int>({ 5 }));
    QCOMPARE(script.seen.size(), 1);
}

// Without a mouse: the dialog opens with the focus in the first descriptor,
// typing replaces it, Tab reaches every control and Return presses OK.
void tst_EnterAddress::keyboard_data()
{
    QTest::addColumn<int>("model");
    QTest::newRow("one card") << 0x7240;
    QTest::newRow("several cards") << 0x6208;
}

void tst_EnterAddress::keyboard()
{
    QFETCH(int, model);
    ModelCard card(model);
    kd7010fp_fcEnterAddress dialog(&card);
    dialog.loadDefaults();
    if (!dialog.countBox->isHidden())
        dialog.countBox->setCurrentIndex(1);

    QWidget *focused = nullptr;
    QStringList unreachable;
    ModalScript script;
    script.act([&](QWidget *window) {
        focused = QApplication::focusWidget();
        if (focused)
            QTest::keyClicks(focused, "VXI0::9::INSTR");
        unreachable = focusChainProblems(window);
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window, Qt::Key_Return);
        if (window->isVisible()) // Return did not close it
            static_cast<QDialog *>(window)->reject();
    });
    const int result = dialog.exec();
    QVERIFY(script.failure.isEmpty());
    QCOMPARE(focused, dialog.rows[0]->descriptorBox);
    QCOMPARE(unreachable, QStringList());
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(dialog.rows[0]->descriptorBox->currentText(), QStringLiteral("VXI0::9::INSTR"));
}

QTEST_MAIN(tst_EnterAddress)
#include "tst_enteraddress.moc"
