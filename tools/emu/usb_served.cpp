#include <stdexcept>

#include "ds2490_model/mock_usb_bus.h"
#include "emu/preload_library.h"
#include "emu/served_adapter.h"

namespace velgrin::emu {

namespace {

class UsbServed final : public ServedAdapter {
  public:
    UsbServed(std::shared_ptr<sim::SimBench> bench, bool timing) {
        if (timing) {
            // A full-speed device: one transfer per 1 ms frame, each command its 1-Wire time.
            usb_.setTiming(ds2490::MockTiming{std::chrono::microseconds(1000),
                                              std::chrono::microseconds(1000), true});
        }
        adapter_ = usb_.plug(std::move(bench));
    }

    std::string node() const override { return usb_.address(adapter_).node(); }
    std::string port() const override { return "usb"; }
    std::vector<std::string> commandEnvironment() const override {
        return PreloadSettings(PreloadLibrary(), usb_.rootDir());
    }
    void unplug() override { usb_.unplug(adapter_); }
    Result<void, std::string> replug() override {
        usb_.replug(adapter_);
        return {};
    }
    void withBench(const std::function<void(sim::SimBench&)>& look) override {
        usb_.withBench(adapter_, look);
    }

  private:
    ds2490::MockUsbBus usb_;
    size_t adapter_ = 0;
};

}  // namespace

ServedResult ServeUsb(std::shared_ptr<sim::SimBench> bench, const EmuArguments& arguments) {
    try {
        return std::unique_ptr<ServedAdapter>(
            std::make_unique<UsbServed>(std::move(bench), arguments.serial.timing));
    } catch (const std::runtime_error& error) {
        return std::string(error.what());
    }
}

}  // namespace velgrin::emu
