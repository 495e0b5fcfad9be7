// Build-time tool: renders the HTML manual into the PDF that the Help menu opens.
// Usage: make_manual_pdf <manual.html> <output.pdf>
#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s manual.html output.pdf\n", argv[0]);
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    QTextDocument doc;
    doc.setHtml(QString::fromUtf8(in.readAll()));

    QPdfWriter pdf(QString::fromLocal8Bit(argv[2]));
    pdf.setTitle(QStringLiteral("Kestrima III for ZR70K33 - User Manual"));
    pdf.setCreator(QStringLiteral("Kestrima III"));
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(18, 18, 18, 18),
                                  QPageLayout::Millimeter));
    pdf.setResolution(300);
    doc.print(&pdf);

    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.exists() || out.size() == 0) {
        std::fprintf(stderr, "no PDF written to %s\n", argv[2]);
        return 1;
    }
    return 0;
}
