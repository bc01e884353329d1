// An installation is judged by reading its files: each fault that keeps an IDE
// from using it is named, and a sound one passes.
#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "installation.h"
#include "pe_builder.h"
#include "scc_export_names.h"

namespace {

using testsys::library;

pe::Image read(const std::string& bytes) {
    pe::Image image;
    EXPECT_TRUE(pe::read_image(bytes, image));
    return image;
}

TEST(Installation, EachFaultOfThePlugInOrItsClientLibraryIsNamed) {
    const std::vector<std::string> all(std::begin(nrwreg::kSccExportNames),
                                       std::end(nrwreg::kSccExportNames));
    const std::vector<std::string> short_one(all.begin() + 1, all.end());
    const std::map<std::string, std::string> version = {{"FileVersion", "1.1.0"},
                                                        {"SccApiVersion", "0x00010003"}};
    const auto sound = read(library(pe::kMachineAmd64, all, version));
    const auto client = read(library(pe::kMachineAmd64, {"nrw_api_initialize"}));
    const auto lower_case =
        read(library(pe::kMachineAmd64, all, {{"SccApiVersion", "0X00010003"}}));
    const auto no_version = read(library(pe::kMachineAmd64, all));
    const auto old_api = read(library(pe::kMachineAmd64, all, {{"SccApiVersion", "0x00010002"}}));
    const auto missing = read(library(pe::kMachineAmd64, short_one, version));
    const auto other_machine = read(library(pe::kMachineI386, all, version));
    const auto client_32 = read(library(pe::kMachineI386, {"nrw_api_initialize"}));
    const auto not_client = read(library(pe::kMachineAmd64, {"something_else"}));
    const struct {
        const char* name;
        const pe::Image* plugin;
        const pe::Image* client;
        const char* reason;  // empty: sound
    } cases[] = {
        {"sound", &sound, &client, ""},
        {"hex in either case", &lower_case, &client, ""},
        {"not a library", nullptr, &client, "not a Windows library"},
        {"other processor", &other_machine, &client, "it is 32-bit, not 64-bit"},
        {"an export missing", &missing, &client, "it lacks 1 of the 39 exports (SccGetVersion)"},
        {"no version resource", &no_version, &client, "does not give the Source Code Control"},
        {"another API", &old_api, &client, "version 0x00010002, not 1.3"},
        {"no client library", &sound, nullptr, "C:\\n\\libnrwapis.dll is missing"},
        {"client of the other processor", &sound, &client_32, "is 32-bit, not 64-bit"},
        {"not the client library", &sound, &not_client, "does not export nrw_api_initialize"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string why = nrwreg::judge_installation(
            c.plugin, c.client, "C:\\n\\libnrwapis.dll", pe::kMachineAmd64);
        if (*c.reason == '\0')
            EXPECT_EQ("", why);
        else
            EXPECT_NE(std::string::npos, why.find(c.reason)) << why;
    }
}

TEST(Installation, TheVersionResourceSurvivesEveryCut) {
    const std::string whole =
        library(pe::kMachineI386, {"SccGetVersion"}, {{"SccApiVersion", "0x00010003"}});
    pe::Image image;
    ASSERT_TRUE(pe::read_image(whole, image));
    EXPECT_EQ("0x00010003", image.version_strings["SccApiVersion"]);
    for (std::size_t length = 0; length < whole.size(); ++length)
        pe::read_image(whole.substr(0, length), image);
}

}  // namespace
