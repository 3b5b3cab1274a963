// Printer device over QPrinter and QPainter. A printer name is either an installed printer
// (a CUPS queue) or "pdf:DIR", a virtual receipt printer that writes every job as its own
// PDF file into DIR. Needs a QGuiApplication.
//
// A job for a queue is drawn on the queue's default paper into a temporary PDF and handed to
// the queue by EndDoc, which fails when the queue does not take it: Qt's own print engine
// never reports a refused job, and a refused ticket must not count as printed.
#pragma once

#include <QFont>
#include <QString>
#include <map>
#include <memory>
#include <string>

#include "platform/qt/PrintDevice.h"

class QPainter;
class QPrinter;

namespace platform {

class QtPrintDevice : public PrintDevice {
public:
    // The virtual receipt printer: 80 mm roll paper, 72 mm of it printable (the usual head
    // width), 203 dots per inch like a thermal receipt head. Receipts have no fixed length;
    // one page is 200 mm, long enough for any ticket.
    static constexpr double kReceiptPaperWidthMm = 80.0;
    static constexpr double kReceiptPaperHeightMm = 200.0;
    static constexpr double kReceiptSideMarginMm = 4.0;
    static constexpr int kReceiptDotsPerInch = 203;
    static constexpr char kPdfPrefix[] = "pdf:";

    // Null for an empty name, a printer that is not installed, or a pdf: folder that
    // cannot be created or written.
    static std::unique_ptr<QtPrintDevice> Open(const std::string& printerName);

    ~QtPrintDevice() override;
    QtPrintDevice(const QtPrintDevice&) = delete;
    QtPrintDevice& operator=(const QtPrintDevice&) = delete;

    int HorizontalResolution() const override;
    int VerticalResolution() const override;
    int PrintableWidth() const override;
    int PrintableHeight() const override;

    FontHandle CreateFont(const FontRequest& request) override;
    bool DeleteFont(FontHandle font) override;
    bool SelectFont(FontHandle font) override;

    TextSize TextExtent(std::string_view text) override;
    bool TextOut(int x, int y, std::string_view text) override;

    bool StartDoc(const std::string& documentName) override;
    bool EndDoc() override;
    bool StartPage() override;
    bool EndPage() override;

    std::string LastError() const override { return lastError_; }

    // The file the current or last job of a pdf: device went to; empty otherwise.
    const QString& OutputFile() const { return outputFile_; }

    // The families tried for a requested face: the face, a metric-compatible substitute
    // where one is known (Arial → Liberation Sans), and a Korean fallback so that Hangul
    // always has glyphs.
    static QStringList FontFamilies(const std::string& face);

private:
    QtPrintDevice(std::unique_ptr<QPrinter> printer, QString pdfDir, QString queue);
    QFont CurrentFont() const;
    bool ReserveOutputFile();
    bool ReserveSpoolFile();
    bool SubmitToQueue();
    bool Fail(std::string why);
    void DiscardJob();

    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<QPainter> painter_;  // destroyed before the printer
    QString pdfDir_;                     // empty for an installed printer
    QString queue_;                      // the print queue; empty for the pdf: printer
    QString outputFile_;
    QString spoolFile_;  // the current job of a queue, until it is handed over
    QString docName_;
    std::string lastError_;
    std::map<FontHandle, QFont> fonts_;
    FontHandle nextFont_ = 1;
    FontHandle selected_ = 0;
    bool inDoc_ = false;
    bool pageOpen_ = false;
    int pagesStarted_ = 0;
};

}  // namespace platform
