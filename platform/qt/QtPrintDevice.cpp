#include "platform/qt/QtPrintDevice.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryFile>
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string_view>
#include <utility>

#include <cups/cups.h>

namespace platform {

namespace {

// Largest font size in pixels we hand to Qt; anything beyond is a caller's mistake.
constexpr int kMaxPixelSize = 0x7FFF;

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool StartsWith(const std::string& text, std::string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

QPageLayout ReceiptLayout() {
    const QPageSize paper(QSizeF(QtPrintDevice::kReceiptPaperWidthMm, QtPrintDevice::kReceiptPaperHeightMm),
                          QPageSize::Millimeter, QStringLiteral("Receipt 80 mm"), QPageSize::ExactMatch);
    const double side = QtPrintDevice::kReceiptSideMarginMm;
    return QPageLayout(paper, QPageLayout::Portrait, QMarginsF(side, 0, side, 0), QPageLayout::Millimeter,
                       QMarginsF(0, 0, 0, 0));
}

}  // namespace

std::unique_ptr<QtPrintDevice> QtPrintDevice::Open(const std::string& printerName) {
    if (printerName.empty()) return nullptr;

    if (StartsWith(printerName, kPdfPrefix)) {
        const QString dir = FromUtf8(std::string_view(printerName).substr(std::string_view(kPdfPrefix).size()));
        if (dir.isEmpty() || !QDir().mkpath(dir)) return nullptr;
        const QFileInfo info(dir);
        if (!info.isDir() || !info.isWritable()) return nullptr;
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setResolution(kReceiptDotsPerInch);
        if (!printer->setPageLayout(ReceiptLayout())) return nullptr;
        // The folder is fixed now: a later change of the current directory must not move
        // the tickets.
        return std::unique_ptr<QtPrintDevice>(
            new QtPrintDevice(std::move(printer), info.absoluteFilePath(), QString()));
    }

    const QPrinterInfo info = QPrinterInfo::printerInfo(FromUtf8(printerName));
    if (info.isNull()) return nullptr;
    // Without its default paper a queue gets the locale's A4, and a receipt roll shrinks
    // that to a third. The queue's printer gives the paper's printable area; positions are
    // counted from its corner, so Qt's own default margins must not be added on top.
    QPrinter queuePrinter(info, QPrinter::HighResolution);
    if (!queuePrinter.isValid()) return nullptr;
    const QPageSize paper = info.defaultPageSize();
    if (paper.isValid()) queuePrinter.setPageSize(paper);
    const QPageLayout queueLayout = queuePrinter.pageLayout();

    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setResolution(queuePrinter.resolution());
    const QPageLayout layout(queueLayout.pageSize(), QPageLayout::Portrait, queueLayout.minimumMargins(),
                             queueLayout.units(), QMarginsF(0, 0, 0, 0));
    if (!printer->setPageLayout(layout)) return nullptr;
    // An instance ("queue/instance") prints on its queue.
    const QString queue = info.printerName().section(QLatin1Char('/'), 0, 0);
    return std::unique_ptr<QtPrintDevice>(new QtPrintDevice(std::move(printer), QString(), queue));
}

QtPrintDevice::QtPrintDevice(std::unique_ptr<QPrinter> printer, QString pdfDir, QString queue)
    : printer_(std::move(printer)),
      painter_(std::make_unique<QPainter>()),
      pdfDir_(std::move(pdfDir)),
      queue_(std::move(queue)) {}

QtPrintDevice::~QtPrintDevice() {
    // A job that was never ended is not printed.
    if (inDoc_) DiscardJob();
}

int QtPrintDevice::HorizontalResolution() const { return printer_->logicalDpiX(); }
int QtPrintDevice::VerticalResolution() const { return printer_->logicalDpiY(); }
int QtPrintDevice::PrintableWidth() const { return printer_->width(); }
int QtPrintDevice::PrintableHeight() const { return printer_->height(); }

QStringList QtPrintDevice::FontFamilies(const std::string& face) {
    static constexpr std::pair<std::string_view, const char*> kSubstitutes[] = {
        {"Arial", "Liberation Sans"},
        {"Helvetica", "Liberation Sans"},
        {"Times New Roman", "Liberation Serif"},
        {"Courier New", "Liberation Mono"},
    };
    QStringList families;
    const QString requested = FromUtf8(face);
    if (!requested.isEmpty()) families << requested;
    for (const auto& [name, substitute] : kSubstitutes) {
        if (requested.compare(FromUtf8(name), Qt::CaseInsensitive) == 0) families << QString::fromLatin1(substitute);
    }
    families << QStringLiteral("NanumGothic");
    return families;
}

FontHandle QtPrintDevice::CreateFont(const FontRequest& request) {
    QFont font;
    font.setFamilies(FontFamilies(request.face));
    const int weight = request.weight <= 0 ? 400 : std::clamp(request.weight, 1, 1000);
    font.setWeight(static_cast<QFont::Weight>(weight));
    const int64_t height = request.height;
    if (height < 0) {
        // The character height is the em size.
        font.setPixelSize(static_cast<int>(std::min<int64_t>(-height, kMaxPixelSize)));
    } else if (height > 0) {
        // The cell height (ascent + descent): scale the em size so the cell fits.
        const int cell = static_cast<int>(std::min<int64_t>(height, kMaxPixelSize));
        font.setPixelSize(cell);
        const int measured = QFontMetrics(font, printer_.get()).height();
        if (measured > 0) {
            font.setPixelSize(std::max(1, static_cast<int>(static_cast<int64_t>(cell) * cell / measured)));
        }
    }
    const FontHandle handle = nextFont_++;
    fonts_.emplace(handle, font);
    return handle;
}

bool QtPrintDevice::DeleteFont(FontHandle font) {
    if (fonts_.erase(font) == 0) return false;
    if (selected_ == font) selected_ = 0;
    return true;
}

bool QtPrintDevice::SelectFont(FontHandle font) {
    if (fonts_.find(font) == fonts_.end()) return false;
    selected_ = font;
    if (painter_->isActive()) painter_->setFont(CurrentFont());
    return true;
}

QFont QtPrintDevice::CurrentFont() const {
    const auto it = fonts_.find(selected_);
    return it != fonts_.end() ? it->second : QFont();
}

TextSize QtPrintDevice::TextExtent(std::string_view text) {
    const QFontMetrics metrics(CurrentFont(), printer_.get());
    return {metrics.horizontalAdvance(FromUtf8(text)), metrics.height()};
}

bool QtPrintDevice::TextOut(int x, int y, std::string_view text) {
    if (!pageOpen_) return false;
    const QFont font = CurrentFont();
    painter_->setFont(font);
    // Qt draws at the baseline; the position names the top of the text cell.
    const QFontMetrics metrics(font, printer_.get());
    painter_->drawText(QPointF(x, static_cast<double>(y) + metrics.ascent()), FromUtf8(text));
    return true;
}

bool QtPrintDevice::ReserveOutputFile() {
    // Time stamp plus a counter; creating the file exclusively keeps two jobs (or two desks
    // sharing the folder) from ever writing to the same name.
    static std::atomic<unsigned> counter{0};
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const unsigned n = counter.fetch_add(1) % 1000;
        const QString path = QDir(pdfDir_).filePath(QStringLiteral("%1-%2.pdf").arg(stamp).arg(n, 3, 10, QChar('0')));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            outputFile_ = path;
            return true;
        }
        if (file.exists()) continue;
        return false;  // the folder refuses new files
    }
    return false;
}

bool QtPrintDevice::ReserveSpoolFile() {
    QTemporaryFile file(QDir(QDir::tempPath()).filePath(QStringLiteral("orvanta-ticket-XXXXXX.pdf")));
    file.setAutoRemove(false);
    if (!file.open()) return false;
    spoolFile_ = file.fileName();
    return true;
}

bool QtPrintDevice::Fail(std::string why) {
    lastError_ = std::move(why);
    return false;
}

bool QtPrintDevice::StartDoc(const std::string& documentName) {
    if (inDoc_) return Fail("a job is already open");
    if (!pdfDir_.isEmpty()) {
        if (!ReserveOutputFile()) return Fail("cannot create a PDF file in " + pdfDir_.toStdString());
        printer_->setOutputFileName(outputFile_);
    }
    if (!queue_.isEmpty()) {
        if (!ReserveSpoolFile()) return Fail("cannot create a temporary file in " + QDir::tempPath().toStdString());
        printer_->setOutputFileName(spoolFile_);
    }
    docName_ = FromUtf8(documentName);
    printer_->setDocName(docName_);
    // Beginning to paint starts the job (and Qt's first page); a refusal shows here.
    if (!painter_->begin(printer_.get())) {
        if (!outputFile_.isEmpty()) QFile::remove(outputFile_);
        if (!spoolFile_.isEmpty()) QFile::remove(spoolFile_);
        spoolFile_.clear();
        return Fail("the job cannot be started");
    }
    inDoc_ = true;
    pageOpen_ = false;
    pagesStarted_ = 0;
    return true;
}

bool QtPrintDevice::StartPage() {
    if (!inDoc_) return Fail("no job is open");
    if (pageOpen_) return Fail("a page is already open");
    // Qt opened the first page when the job began; every later page is a new one.
    if (pagesStarted_ > 0 && !printer_->newPage()) return Fail("a new page cannot be started");
    ++pagesStarted_;
    pageOpen_ = true;
    painter_->setFont(CurrentFont());
    return true;
}

bool QtPrintDevice::EndPage() {
    if (!pageOpen_) return false;
    pageOpen_ = false;
    return true;
}

bool QtPrintDevice::EndDoc() {
    if (!inDoc_) return Fail("no job is open");
    if (pagesStarted_ == 0) {
        // Nothing to print: no empty page comes out.
        DiscardJob();
        return true;
    }
    inDoc_ = false;
    pageOpen_ = false;
    if (!painter_->end()) {
        if (!spoolFile_.isEmpty()) QFile::remove(spoolFile_);
        spoolFile_.clear();
        return Fail("the job cannot be finished");
    }
    return queue_.isEmpty() || SubmitToQueue();
}

bool QtPrintDevice::SubmitToQueue() {
    const QByteArray file = QFile::encodeName(spoolFile_);
    const QByteArray queue = queue_.toUtf8();
    const QByteArray title = docName_.toUtf8();
    // The queue's defaults (its paper above all) apply; the PDF already has that paper.
    const int jobId =
        cupsPrintFile2(CUPS_HTTP_DEFAULT, queue.constData(), file.constData(), title.constData(), 0, nullptr);
    QFile::remove(spoolFile_);
    spoolFile_.clear();
    // A job ID is the queue's word that it took the job; 0 is a refusal or no answer.
    if (jobId > 0) return true;
    return Fail("queue " + queue.toStdString() + " refused the job: " + cupsLastErrorString());
}

void QtPrintDevice::DiscardJob() {
    inDoc_ = false;
    pageOpen_ = false;
    printer_->abort();
    if (painter_->isActive()) painter_->end();
    if (!outputFile_.isEmpty()) QFile::remove(outputFile_);
    if (!spoolFile_.isEmpty()) QFile::remove(spoolFile_);
    spoolFile_.clear();
}

}  // namespace platform
