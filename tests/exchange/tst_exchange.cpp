// The readers and writers of the import and export, called directly: what each kind of file
// turns into, and that what the export writes the import reads back unchanged.

#include "errors/UserError.h"
#include "exchange/CardEdit.h"
#include "exchange/CsvReader.h"
#include "exchange/Person.h"
#include "exchange/TextFile.h"
#include "exchange/VCardLines.h"
#include "exchange/VCardReader.h"
#include "exchange/Writers.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTest>

using namespace quillbox::exchange;
using quillbox::UserError;

namespace {

// A person as "name|email|phone|address", line breaks shown as " / ".
QString flat(const Person& p) {
    return QStringList{p.name, p.email, p.phone, p.address}
        .join(QLatin1Char('|'))
        .replace(QLatin1String("\r\n"), QLatin1String(" / "));
}

QStringList flat(const std::vector<Person>& people) {
    QStringList out;
    for (const Person& p : people)
        out << flat(p);
    return out;
}

QByteArray sample(const char* name) {
    QFile f(QStringLiteral(QUILLBOX_VCARDS "/") + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray card(const QByteArray& version, const QByteArray& body) {
    QByteArray out = "BEGIN:VCARD\r\n";
    if (!version.isEmpty())
        out += "VERSION:" + version + "\r\n";
    return out + body + "\r\nEND:VCARD\r\n";
}

// A card's content lines by name, each as written.
QMultiMap<QByteArray, QByteArray> contentLines(const QByteArray& card) {
    QMultiMap<QByteArray, QByteArray> out;
    const QByteArray text = textBytes(card);
    vcard::ContentLines lines(text, true);
    vcard::SoftBreaks softBreaks;
    for (vcard::ContentLine l; lines.next(l, softBreaks);) {
        const vcard::Property p = vcard::parseProperty(l.text, l.number);
        softBreaks.after(p);
        out.insert(p.name, l.raw);
    }
    return out;
}

} // namespace

class TestExchange : public QObject {
    Q_OBJECT

private slots:
    // What each kind of file turns into: samples from other programs, then a detail a row.
    void reads_data() {
        QTest::addColumn<bool>("csv");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("people");
        const auto vcard = [](const char* tag, const QByteArray& file, const QStringList& people) {
            QTest::newRow(tag) << false << file << people;
        };
        const auto csv = [](const char* tag, const QByteArray& file, const QStringList& people) {
            QTest::newRow(tag) << true << file << people;
        };
        vcard("Android 2.1, quoted-printable", sample("John_Doe_ANDROID.vcf"),
              {"|john.doe@company.com||", "|jane.doe@company.com||", "Ñ Ñ Ñ Ñ||123456789|",
               "Ñ Ñ Ñ Ñ Ñ Ñ Ñ Ñ Ñ Ñ Ñ||123456|", "Ñ Ñ, Ñ Ñ Ñ|bob@company.com|123456|",
               "ÑÑÑÑ|henry@company.com|55556666|"});
        vcard("RFC 6350, 4.0, LF only", sample("rfc6350-example.vcf"),
              {"Perreault, Simon|simon.perreault@viagenie.ca|+1-418-656-9254 ext. 102|Suite "
               "D2-630 / 2875 Laurier / G1V 2M2 Quebec / QC / Canada"});
        vcard("folding, blank and tab", card("3.0", "FN:Jo\r\n hn\r\n\t Doe\r\nEMAIL:a@\r\n b.c"),
              {"John Doe|a@b.c||"});
        vcard("escapes of 3.0", card("3.0", "FN:a\\,b\\;c\\\\d\\ne\\:f"), {"a,b;c\\d / e:f|||"});
        vcard(
            "quoted-printable soft breaks",
            card("2.1", "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:J=C3=BCr=\r\ngen=0D=0A=\r\nX"),
            {"Jürgen / X|||"});
        vcard("N parts trimmed, several given joined", card("3.0", "N: Doe ;John,Paul ;;;\r\nFN:x"),
              {"Doe, John Paul|||"});
        vcard("empty N: FN exactly", card("3.0", "N:;;;;\r\nFN: Doe\\, "), {" Doe, |||"});
        vcard("PREF=n, lowest wins",
              card("4.0", "FN:x\r\nEMAIL;PREF=2:two\r\nEMAIL:none\r\nEMAIL;PREF=1:one"),
              {"x|one||"});
        vcard("ADR parts on lines",
              card("3.0", "FN:x\r\nADR:PO Box 7;Suite 5;1 Main St;Springfield;IL;62701;USA"),
              {"x|||Suite 5 / 1 Main St / PO Box 7 / 62701 Springfield / IL / USA"});
        vcard("the lowest character of three bytes", card("3.0", "FN:a\xe0\xa0\x80"),
              {QString::fromUtf8("a\xe0\xa0\x80|||")});
        vcard("ADR with parts past the seven", // what a card made to overrun would send
              card("3.0", "FN:x\r\nADR:;;1 Main St;Springfield;;;USA;extra;more"),
              {"x|||1 Main St / Springfield / USA"});
        vcard("street-only ADR exactly as written",
              card("3.0", "FN:x\r\nADR:;;  1 Main St\\n\\nFlat 2 ;;;;\r\nLABEL:other"),
              {"x|||  1 Main St /  / Flat 2 "});
        vcard("grouped LABEL belongs to its ADR",
              card("3.0",
                   "FN:x\r\nitem1.ADR:;;1 A St;T;;1;\r\nitem2.LABEL:wrong\r\nitem1.LABEL:L1\\nL2"),
              {"x|||L1 / L2"});
        vcard("4.0 LABEL parameter",
              card("4.0", "FN:x\r\nADR;LABEL=\"L1^nsay ^'hi^' ^^\\nL3\":;;1 A St;T;;;"),
              {"x|||L1 / say \"hi\" ^ / L3"});
        vcard("line ends LF, CR, doubled CR",
              "BEGIN:VCARD\nVERSION:3.0\rFN:Jo\r\r\n hn\r\r\nEND:VCARD", {"John|||"});
        vcard("UTF-8 byte-order mark, lower-case names",
              "\xEF\xBB\xBF"
              "begin:vcard\r\nversion:3.0\r\nfn:Zoë\r\nend:vcard\r\n",
              {"Zoë|||"});
        vcard("soft line breaks only in 2.1",
              card("3.0", "NOTE;ENCODING=QUOTED-PRINTABLE:a=\r\nFN:x"), {"x|||"});
        vcard("soft line breaks only where ENCODING says",
              card("2.1", "NOTE;X-A=quoted-printable:a=\r\nFN:x"), {"x|||"});
        vcard("leading U+FEFF is a character",
              card("4.0", "FN:\xEF\xBB\xBF\r\nEMAIL:\xEF\xBB\xBF"
                          "a"),
              {QStringLiteral("\uFEFF|\uFEFFa||")});
        csv("semicolon, LF", "Name;Email;Phone\nDoe, Al;a@b;1,5\n", {"Doe, Al|a@b|1,5|"});
        csv("quotes, separators, line breaks",
            "Name,Address\r\n\"Doe, \"\"Al\"\"\",\"1 A St\r\nT;x\nU\"\r\n",
            {"Doe, \"Al\"|||1 A St / T;x / U"});
        csv("UTF-16 with byte-order mark",
            [] {
                QStringEncoder e(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
                return QByteArray(e(QStringLiteral("Name\tPhone\r\nZoë 😀\t1\r\n")));
            }(),
            {"Zoë 😀||1|"});
        csv("full name kept exactly, empty rows passed over",
            "Display Name,Notes\r\n,\r\n\r\n\" Al \",x\r\n", {" Al |||"});
        csv("separator found on the header row", "\r\n;\r\nName;Email\r\nAl;a@b\r\n", {"Al|a@b||"});
        csv("blanks around quoted fields",
            "Name, Email, Phone\r\nJo Smith, \"j@x.org\" , \"555, ext 12\"\r\n",
            {"Jo Smith|j@x.org|555, ext 12|"});
        csv("several values in a cell, organisation as the name",
            "Name,E-mail 1 - Value,Phone 1 - Value,Address 1 - Formatted,Company\r\n"
            "Bob,b@h ::: b@w,1 ::: 2,A ::: B,\r\n,,,,Acme Ltd\r\n",
            {"Bob|b@h|1|A", "Acme Ltd|||"});
        csv("line breaks in name parts", "First Name,Last Name\r\n\"Jo\nhn\",\"Do\re\"\r\n",
            {"Do / e, Jo / hn|||"});
        csv("e-mail and phone by rank, not by column order",
            "Name,Secondary Email,E-mail 3,Email,Other Phone 2,Phone\r\nAl,s@x,3@x,e@x,2,1\r\n",
            {"Al|e@x|1|"});
        csv("Outlook",
            "\"First Name\",\"Middle Name\",\"Last Name\",\"E-mail Address\","
            "\"E-mail 2 Address\",\"Business Fax\",\"Business Phone\",\"Mobile Phone\","
            "\"Business Street\",\"Business City\",\"Business State\","
            "\"Business Postal Code\",\"Business Country/Region\",\"Home Street\"\r\n"
            "John,Q,Doe,,j2@x,9,,555,\"1 A St\nFl 2\",Town,ST,123,USA,9 Home Rd\r\n",
            {"Doe, John|j2@x|555|1 A St / Fl 2 / 123 Town / ST / USA"});
        csv("Google",
            "Name,Given Name,Family Name,Nickname,E-mail 1 - Type,E-mail 1 - Value,"
            "Phone 1 - Type,Phone 1 - Value,Address 1 - Formatted,Address 1 - Street,"
            "Address 1 - City\r\n"
            "Greg D,Greg,Dartmouth,Gman,* Home,g@d.com,Mobile,555 1111,"
            "\"123 Home St\nHome City, HM\",123 Home St,Home City\r\n"
            "Company Ltd,,,,,,,,,,\r\n",
            {"Dartmouth, Greg|g@d.com|555 1111|123 Home St / Home City, HM", "Company Ltd|||"});
    }

    void reads() {
        QFETCH(bool, csv);
        QFETCH(QByteArray, file);
        QFETCH(QStringList, people);
        QCOMPARE(flat(csv ? readCsv(file) : readVCards(file)), people);
    }

    void faults_data() {
        QTest::addColumn<bool>("csv");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("says");
        const auto vcard = [](const char* tag, const QByteArray& file, const char* says) {
            QTest::newRow(tag) << false << file << QString(says);
        };
        const auto csv = [](const char* tag, const QByteArray& file, const char* says) {
            QTest::newRow(tag) << true << file << QString(says);
        };
        vcard("no END at the end", card("3.0", "FN:a") + "BEGIN:VCARD\r\nFN:b\r\n", "line 5:");
        vcard("bad quoted-printable", card("2.1", "FN;ENCODING=QUOTED-PRINTABLE:a=ZZb"),
              "line 3: '=ZZ'");
        vcard("unknown charset", card("2.1", "FN:a\r\nORG;CHARSET=X-KLINGON:b"),
              "line 4: the character set 'X-KLINGON'");
        vcard("not UTF-8", card("3.0", "FN:M\xfcller"),
              "line 3: the text is not valid UTF-8 (byte 2 of the value)");
        vcard("vCard empty", " \r\n", "the file is empty: there are no cards in it");
        vcard("no colon", card("3.0", "FN:a\r\nNOTE no colon"),
              "line 4: there is no ':' between the property's name and its value");
        csv("quote not closed", "Name\r\nA\r\n\"B\r\nC\r\n", "line 3: a quoted field");
        csv("CSV not UTF-8", "Name\r\nAl\r\nM\xfcller\r\n", "line 3: the text is not UTF-8");
        // What a lax encoder or a crafted file holds: an overlong form, a UTF-16 surrogate,
        // and a code beyond U+10FFFF, each written as UTF-8 would write it.
        csv("overlong", "Name\r\nA\xe0\x81\x81\r\n", "line 2: the text is not UTF-8");
        csv("surrogate", "Name\r\nA\xed\xa0\x80\r\n", "line 2: the text is not UTF-8");
        csv("beyond U+10FFFF", "Name\r\nA\xf4\x90\x80\x80\r\n", "line 2: the text is not UTF-8");
        csv("lines ended by CR alone", "Name\rAl\rM\xfcller\r", "line 3: the text is not UTF-8");
        csv("Excel's separator line", "sep=;\r\nName;Phone\r\nA" + QByteArray(maxCsvFields, ';'),
            "line 3: the row has more than");
        csv("no name column", "Phone,Email\r\n1,a@b\r\n", "line 1: no column");
        csv("CSV empty", "", "empty");
        csv("row too wide", "Name\r\nA" + QByteArray(maxCsvFields, ','),
            "line 2: the row has more than");
        csv("CSV binary", QByteArray("Name\r\nA\0B\r\n", 11), "not a text file");
    }

    void faults() {
        QFETCH(bool, csv);
        QFETCH(QByteArray, file);
        QFETCH(QString, says);
        QString error;
        try {
            (void)(csv ? readCsv(file) : readVCards(file));
        } catch (const UserError& e) {
            error = e.message();
        }
        QVERIFY2(error.contains(says), qPrintable(error));
    }

    // The sync's edit of a server's card, on every card of the samples and crafted ones, each
    // field set, changed and cleared: the card reads back as the contact and the card's other
    // fields say, every line of other properties stays as written, and of the field's own lines
    // at most one changes (all go when it is cleared). 2.1 cards get no 3.0 escapes and no bare
    // UTF-8. Edits that cannot be written are refused.
    void edits_data() {
        QTest::addColumn<QByteArray>("card");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("refused"); // what the error says; empty when it may not fail
        QList<QPair<QByteArray, QByteArray>> cards;
        const auto add = [&](const QByteArray& tag, const QByteArray& text) {
            cards.append({tag, text});
        };
        for (const QString& name : QDir(QUILLBOX_VCARDS).entryList({"*.vcf"})) {
            const QByteArray file = sample(qPrintable(name));
            for (qsizetype from = 0, end; (end = file.indexOf("END:VCARD", from)) >= 0;
                 from = end + 9)
                add(name.toUtf8() + QByteArray::number(from), file.mid(from, end + 9 - from));
        }
        add("2.1 soft breaks, blank line ending one, encoded LABEL, PREFs",
            card("2.1", "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C3=91o;J=\r\no\r\n"
                        "FN;ENCODING=QUOTED-PRINTABLE;CHARSET=ISO-8859-1:J=\r\no =D1o\r\n"
                        "TEL;WORK:555-1234, ext. 2\r\nTEL;PREF;CELL:555-9\r\nEMAIL:a@x\r\n"
                        "EMAIL;PREF=2;PREF=1:b@x\r\nEMAIL;PREF=1:c@x\r\n"
                        "NOTE;QUOTED-PRINTABLE:one=0D=0A=\r\n\r\nADR;WORK:;;1 A St;Town;;1;\r\n"
                        "LABEL;WORK;ENCODING=QUOTED-PRINTABLE:1 A St=0D=0A=\r\nTown 1"));
        add("2.1 empty, a stray '=' before END", card("2.1", "X-A;ENCODING=QUOTED-PRINTABLE:a="));
        add("2.1 VERSION after", "BEGIN:VCARD\r\nFN:a\r\nEMAIL:a@x\r\nVERSION:2.1\r\nEND:VCARD");
        add("3.0 old quoted-printable, grouped LABEL, TYPE=pref, a second N",
            card("3.0", "FN;ENCODING=QUOTED-PRINTABLE:A=20B\r\nN:B;A;;;\r\nEMAIL:a@x\r\n"
                        "EMAIL;TYPE=INTERNET,pref:b@x\r\nitem1.ADR:;;1 A St;T;;;\r\n"
                        "item1.LABEL:1 A St\\nT\r\nLABEL:other\r\nN;PREF=1:Z;Y;;;"));
        add("3.0 a second e-mail not UTF-8, an empty ADR, a LABEL alone",
            card("3.0", "FN:x\r\nEMAIL:a@x\r\nEMAIL:\xff@x\r\nADR:;;;;;;\r\nLABEL:1 A St"));
        add("4.0 TEL URI, LABEL parameter, PREF",
            card("4.0", "FN:x\r\nTEL;VALUE=uri;PREF=2:tel:+1-555\r\nTEL;PREF=1;VALUE=uri:tel:"
                        "+1-556;ext=1\r\nADR;LABEL=\"1 A St\\nT\":;;1 A St;T;;;"));
        add("none of the fields", card("3.0", "UID:1"));
        add("3.0 blank lines inside a folded line",
            card("3.0", "FN:x\r\nNOTE:a\r\n\r\n b\r\n c\r\n\r\nEMAIL:a@x"));
        const QStringList values[] = {
            {"Doe, Jane", "Zoë; Ñ\r\n2", ""},
            {"jo@example.org", "zoë@例え.jp", ""},
            {"555-1234, ext. 2", "☎ 1;2", ""},
            {"1 Main St\r\nFlat 2, Ørsted; DK", "Back\\slash, end\\", ""}};
        for (const auto& [tag, text] : cards)
            for (int field = 0; field < 4; ++field)
                for (const QString& value : values[field])
                    QTest::addRow("%s, field %d = '%s'", tag.constData(), field, qPrintable(value))
                        << text << field << value << QString();
        QTest::newRow("2.1 soft line break before END:VCARD in the value")
            << card("2.1", "EMAIL:x") << 1 << "é" + QString(23, 'a') + "END:VCARD" << QString();
        QTest::newRow("2.1 street a backslash before ';' cannot say")
            << card("2.1", "FN:x") << 3 << "C:\\;x"
            << "would not show the address";
        QTest::newRow("not a card") << QByteArray("FN:x") << 1 << "a@x"
                                    << "does not read";
    }

    void edits() {
        QFETCH(QByteArray, card);
        QFETCH(int, field);
        QFETCH(QString, value);
        QFETCH(QString, refused);
        CardEdit edit;
        std::optional<QString>* fields[] = {&edit.name, &edit.email, &edit.phone, &edit.address};
        *fields[field] = value;
        QString got;
        QByteArray edited;
        try {
            edited = editCard(card, edit);
            got = flat(readCard(edited));
        } catch (const UserError& e) {
            got = e.message();
        }
        QVERIFY2(refused.isEmpty() ? !edited.isEmpty() : got.contains(refused), qPrintable(got));
        if (!refused.isEmpty())
            return;
        Person want = readCard(card);
        QString* texts[] = {&want.name, &want.email, &want.phone, &want.address};
        *texts[field] = value;
        QCOMPARE(got, flat(want));

        const QList<QByteArray> names[] = {{"FN", "N"}, {"EMAIL"}, {"TEL"}, {"ADR", "LABEL"}};
        const QMultiMap<QByteArray, QByteArray> before = contentLines(card);
        const QMultiMap<QByteArray, QByteArray> after = contentLines(edited);
        for (const QByteArray& name : before.uniqueKeys() + after.uniqueKeys()) {
            QList<QByteArray> gone = before.values(name), added = after.values(name);
            for (const QByteArray& line : after.values(name))
                if (gone.removeOne(line))
                    added.removeOne(line);
            QVERIFY2((gone.isEmpty() && added.isEmpty()) ||
                         (names[field].contains(name) &&
                          (value.isEmpty() || gone.size() <= 1 || name == "LABEL")),
                     (gone + added).front().constData());
            // 2.1: no 3.0 escapes, no bare UTF-8, no line over 76 octets
            const auto fits = [](const QByteArray& l) { return l.trimmed().size() <= 76; };
            for (const QByteArray& line : added)
                QVERIFY2(!card.contains("VERSION:2.1") ||
                             (!line.contains("\\,") &&
                              std::all_of(line.begin(), line.end(), [](char c) { return c > 0; }) &&
                              std::ranges::all_of(line.split('\n'), fits)),
                         line.constData());
        }
    }

    // What the export writes the import reads back unchanged, beside a neighbour. A card's
    // lines are folded at 75 octets, and never inside a character.
    void roundTrip_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QStringList>("person"); // name, e-mail address, phone, address
        QList<QStringList> cases = {
            // a tag, then the person
            {"plain", "Doe, John", "john@example.com", "+1 555 0100", "1 Main St\r\nSpringfield"},
            {"blanks around", " Doe, John ", " a@b ", " 1 ", " x \r\n y "},
            {"blank after the family part", "Doe , John", "", "", ""},
            {"empty given part", "Doe, ", "", "", ""},
            {"two commas", "Smith, John, Jr.", "", "", ""},
            {"quotes", "\"Al\" O'Neil, \"Bo\"", "\"a b\"@x.org", "\"1\"", "\"q\"\r\n\"\""},
            {"separators", "A;B, C,D", "a;b,c@x ::: y", "1;2,3\t4", "a, b; c\r\nd\te"},
            {"backslashes", "C:\\, \\n", "\\", "\\\\", "C:\\new\\\r\n\\"},
            {"carets and escapes", "^n, ^^", "^'", "=0D=0A", "^n^^^'\r\n\\n\\,"},
            {"line breaks", "A\r\nB, C", "a\r\nb", "1\r\n2", "\r\n\r\nx\r\n\r\n"},
            {"non-ASCII", "Ångström, Zoë", "zoë@例え.jp", "٠١٢٣", "Straße 1\r\n東京都"},
            {"emoji", "👩‍👩‍👧, 😀", "😀@😀", "☎️ 1", "🏠\r\n🇩🇪"},
            {"keywords", "END:VCARD", "BEGIN:VCARD", "Name", "END:VCARD\r\nBEGIN:VCARD"},
            // QString's conversion from UTF-8 would drop a leading U+FEFF.
            {"byte-order marks", QStringLiteral("\uFEFF"), QStringLiteral("\uFEFFa"),
             QStringLiteral("\uFEFF\uFEFF"), QStringLiteral("\uFEFF\r\n\uFEFF")},
            // In vCard 4.0 the address is a parameter too, and its '=' ends the first line.
            {"'=' at a fold", "x", "", "", "quoted-printable ab=01234567890123456789"},
            {"a long line", QString(160, QLatin1Char('n')), "", "", ""},
        };
        // Shifting the start moves every fold across each position of a sequence.
        for (int shift = 0; shift < 4; ++shift) {
            const QString before(shift, QLatin1Char('a'));
            cases.append({QStringLiteral("two octets, shift %1").arg(shift),
                          before + QString(120, QChar(0x00e9)),
                          {},
                          {},
                          {}});
            cases.append({QStringLiteral("four octets, shift %1").arg(shift),
                          before + QStringLiteral("😀").repeated(60),
                          {},
                          {},
                          {}});
        }
        const char* formats[] = {"vCard 3.0", "vCard 4.0", "CSV"};
        for (int f = 0; f < 3; ++f)
            for (const QStringList& c : cases)
                QTest::addRow("%s, %s", formats[f], qPrintable(c[0])) << f << c.mid(1);
    }

    void roundTrip() {
        QFETCH(int, format);
        QFETCH(QStringList, person);
        const Person written{{person[0], person[1], person[2], person[3]}, {}};
        const Person neighbour{{QStringLiteral("Next, One"), QStringLiteral("n@x"), {}, {}}, {}};
        QByteArray file;
        if (format == 2)
            appendCsvHeader(file);
        for (const Person& p : {written, neighbour}) {
            if (format == 2)
                appendCsvRow(file, p);
            else
                appendVCard(file, p, format == 0 ? VCardVersion::V30 : VCardVersion::V40);
        }
        const std::vector<Person> read = format == 2 ? readCsv(file) : readVCards(file);
        QCOMPARE(read.size(), size_t{2});
        QCOMPARE((QStringList{read[0].name, read[0].email, read[0].phone, read[0].address}),
                 person);
        QCOMPARE(flat(read[1]), flat(neighbour));
        const QList<QByteArray> lines = file.split('\n');
        for (qsizetype i = 0; format < 2 && i + 1 < lines.size(); ++i) {
            // Folded no earlier than a character's length before the limit; no line, nor what
            // a fold leaves after its blank, starts or ends inside a UTF-8 sequence.
            const QByteArray line = lines[i].chopped(1);
            const QByteArray content = line.startsWith(' ') ? line.mid(1) : line;
            QVERIFY2(lines[i].endsWith('\r') && line.size() <= 75 &&
                         (line.size() >= 72 || !lines[i + 1].startsWith(' ')) &&
                         !content.isEmpty() && QString::fromUtf8(content).toUtf8() == content,
                     line.constData());
        }
    }
};

QTEST_GUILESS_MAIN(TestExchange)
#include "tst_exchange.moc"
