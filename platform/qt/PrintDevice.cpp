#include "platform/qt/PrintDevice.h"

#include <cstdint>
#include <limits>
#include <utility>

#include "platform/qt/QtPrintDevice.h"

namespace platform {

int MulDiv(int value, int multiplier, int divisor) {
    if (divisor == 0) return -1;
    int64_t product = static_cast<int64_t>(value) * multiplier;
    int64_t d = divisor;
    if (d < 0) {
        product = -product;
        d = -d;
    }
    // Integer division truncates toward zero, so moving half the divisor away from zero
    // first gives the nearest integer with halves away from zero.
    const int64_t half = d / 2;
    const int64_t quotient = product >= 0 ? (product + half) / d : (product - half) / d;
    if (quotient > std::numeric_limits<int32_t>::max() || quotient < std::numeric_limits<int32_t>::min())
        return -1;
    return static_cast<int>(quotient);
}

namespace {

PrintDeviceFactory& InstalledFactory() {
    static PrintDeviceFactory factory;
    return factory;
}

}  // namespace

std::unique_ptr<PrintDevice> OpenPrintDevice(const std::string& printerName) {
    const PrintDeviceFactory& factory = InstalledFactory();
    if (factory) return factory(printerName);
    return QtPrintDevice::Open(printerName);
}

PrintDeviceFactory SetPrintDeviceFactory(PrintDeviceFactory factory) {
    return std::exchange(InstalledFactory(), std::move(factory));
}

}  // namespace platform
