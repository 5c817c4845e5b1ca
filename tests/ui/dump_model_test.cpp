#include "app/ui/dump_model.h"

#include <QBrush>
#include <QtTest>

using app::ui::DumpModel;

class DumpModelTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        m_image.Clear();
        m_model = std::make_unique<DumpModel>(m_image);
        m_model->setRows(0x210, 0x3FF);
    }

    void rowsAndHeaders() {
        QCOMPARE(m_model->rowCount(), 0x1F0);
        QCOMPARE(m_model->columnCount(), 19);
        m_model->setRows(0, 4095);
        QCOMPARE(m_model->rowCount(), 4096);
        QCOMPARE(m_model->data(m_model->index(4095, 0), Qt::DisplayRole).toString(),
                 QStringLiteral("0000FFF0"));
        QCOMPARE(m_model->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Адрес"));
        QCOMPARE(m_model->headerData(11, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("A"));
        QCOMPARE(m_model->headerData(17, Qt::Horizontal, Qt::DisplayRole).toString(), QString());
        QCOMPARE(m_model->headerData(18, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Текст"));
        // Rows beyond the image are cut to it.
        m_model->setRows(0x7FFF0, 0x90000);
        QCOMPARE(m_model->rowCount(), 0x10);
    }

    void cellsDrawFromTheImage() {
        const unsigned char row[16] = {'A', 0x01, 0x98, 0xC6, 0x7F, 'z', 0xFF, 0x20,
                                       0,   0,    0,    0,    0,    0,   0,    0x0A};
        for (int i = 0; i < 16; ++i)
            m_image.Data[0x2100 + i] = row[i];
        m_image.Filled[0x2103] = 1;
        QCOMPARE(m_model->data(m_model->index(0, 0), Qt::DisplayRole).toString(), QStringLiteral("00002100"));
        QCOMPARE(m_model->data(m_model->index(0, 4), Qt::DisplayRole).toString(), QStringLiteral("C6"));
        QCOMPARE(m_model->data(m_model->index(0, 18), Qt::DisplayRole).toString(),
                 QStringLiteral("A..Ж.zя ........"));
        QCOMPARE(m_model->data(m_model->index(0, 0), Qt::BackgroundRole).value<QBrush>().color(),
                 QColor(210, 210, 210));
        QCOMPARE(m_model->data(m_model->index(0, 4), Qt::BackgroundRole).value<QBrush>().color(),
                 QColor(234, 234, 234));
        QVERIFY(!m_model->data(m_model->index(0, 3), Qt::BackgroundRole).isValid());
        QVERIFY(!m_model->data(m_model->index(1, 0), Qt::BackgroundRole).isValid());
        QVERIFY(!(m_model->flags(m_model->index(0, 0)) & Qt::ItemIsSelectable));
        QVERIFY(m_model->flags(m_model->index(0, 1)) & Qt::ItemIsSelectable);
        QVERIFY(!(m_model->flags(m_model->index(0, 18)) & Qt::ItemIsSelectable));
    }

    void edits_data() {
        QTest::addColumn<bool>("editable");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("stored");
        QTest::addColumn<int>("byte");
        QTest::newRow("lower-case hex") << true << "1f" << true << 0x1F;
        QTest::newRow("one digit") << true << "F " << true << 0x0F;
        QTest::newRow("not hex") << true << "G1" << false << 0xFF;
        QTest::newRow("empty") << true << "  " << false << 0xFF;
        QTest::newRow("same value") << true << "FF" << false << 0xFF;
        QTest::newRow("too long") << true << "123" << false << 0xFF;
        QTest::newRow("editing off") << false << "1f" << false << 0xFF;
    }
    void edits() {
        QFETCH(bool, editable);
        QFETCH(QString, text);
        QFETCH(bool, stored);
        QFETCH(int, byte);
        m_model->setEditable(editable);
        QSignalSpy edited(m_model.get(), &DumpModel::byteEdited);
        const QModelIndex cell = m_model->index(2, 6); // address 0x2125
        QCOMPARE(m_model->addressOf(cell), 0x2125);
        QCOMPARE(m_model->setData(cell, text, Qt::EditRole), stored);
        QCOMPARE(int(m_image.Data[0x2125]), byte);
        QCOMPARE(m_image.Filled[0x2125] != 0, stored);
        QCOMPARE(edited.count(), stored ? 1 : 0);
    }

    void rowOfAddress() {
        QCOMPARE(m_model->rowOf(0x2100), 0);
        QCOMPARE(m_model->rowOf(0x3FFF), 0x1EF);
        QCOMPARE(m_model->rowOf(0x20FF), -1);
        QCOMPARE(m_model->rowOf(0x4000), -1);
        QCOMPARE(m_model->addressOf(m_model->index(0, 0)), -1);
        QCOMPARE(m_model->addressOf(m_model->index(0, 17)), -1);
    }

  private:
    image::THEXFile m_image;
    std::unique_ptr<DumpModel> m_model;
};

QTEST_MAIN(DumpModelTest)
#include "dump_model_test.moc"
