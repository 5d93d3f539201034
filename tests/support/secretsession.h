#pragma once

// A real Secret Service for a test program: gnome-keyring on a private D-Bus session that the
// program starts, in a home of its own, before anything speaks D-Bus. Register it with
// ::testing::AddGlobalTestEnvironment; it also makes the program's QCoreApplication.

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/stat.h>

namespace rgtest {

class SecretSession : public ::testing::Environment {
public:
    void SetUp() override {
        char base[] = "/tmp/rg-secrets.XXXXXX";
        ASSERT_TRUE(mkdtemp(base));
        home_ = base;
        setenv("HOME", home_.c_str(), 1);
        setenv("XDG_DATA_HOME", (home_ + "/data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home_ + "/config").c_str(), 1);
        std::filesystem::create_directories(home_ + "/run");
        chmod((home_ + "/run").c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", (home_ + "/run").c_str(), 1);
        FILE* bus = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
        ASSERT_TRUE(bus);
        char address[512] = {}, pid[32] = {};
        ASSERT_TRUE(fgets(address, sizeof address, bus));
        ASSERT_TRUE(fgets(pid, sizeof pid, bus));
        pclose(bus);
        address[strcspn(address, "\n")] = 0;
        busPid_ = std::atoi(pid);
        setenv("DBUS_SESSION_BUS_ADDRESS", address, 1);
        FILE* keyring = popen("gnome-keyring-daemon --unlock --components=secrets >/dev/null", "w");
        ASSERT_TRUE(keyring);
        fputs("unlock", keyring);
        ASSERT_EQ(pclose(keyring), 0);
        static int argc = 1;
        static char name[] = "secret_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QCoreApplication>(argc, argv);
    }
    void TearDown() override {
        app_.reset();
        if (busPid_ > 0)
            kill(busPid_, SIGTERM); // the keyring daemon leaves with its bus
        std::filesystem::remove_all(home_);
    }

private:
    std::string home_;
    int busPid_ = 0;
    std::unique_ptr<QCoreApplication> app_;
};

} // namespace rgtest
