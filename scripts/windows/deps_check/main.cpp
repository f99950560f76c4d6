#include <curl/curl.h>
#include <gtest/gtest.h>
#include <spdlog/spdlog.h>
#include <sqlite3.h>
#include <xlsxwriter.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <tl/expected.hpp>

// What the program needs of the libraries built for Windows, checked on the
// target itself (under Wine).

TEST(Deps, CurlUsesSchannel) {
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    spdlog::info("curl {} ssl {}", info->version, info->ssl_version);
    EXPECT_NE(std::string(info->ssl_version).find("Schannel"), std::string::npos);
    EXPECT_TRUE(info->features & CURL_VERSION_LIBZ);
}
TEST(Deps, SqliteWorks) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    EXPECT_EQ(
        sqlite3_exec(db, "create table t(x); insert into t values(41);", nullptr, nullptr, nullptr),
        SQLITE_OK);
    int read = 0;
    auto keep = [](void* out, int, char** values, char**) {
        *static_cast<int*>(out) = std::atoi(values[0]);
        return 0;
    };
    EXPECT_EQ(sqlite3_exec(db, "select x + 1 from t", keep, &read, nullptr), SQLITE_OK);
    EXPECT_EQ(read, 42);
    EXPECT_EQ(sqlite3_threadsafe(), 1);
    sqlite3_close(db);
}

TEST(Deps, XlsxWrites) {
    lxw_workbook* wb = workbook_new("quorvel_deps_check.xlsx");
    ASSERT_NE(wb, nullptr);
    lxw_worksheet* ws = workbook_add_worksheet(wb, nullptr);
    worksheet_write_string(ws, 0, 0, "\xe8\xbf\x9e\xe8\xa1\xa3\xe8\xa3\x99", nullptr);
    ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);
    std::ifstream in("quorvel_deps_check.xlsx", std::ios::binary);
    char magic[2] = {};
    in.read(magic, 2);
    EXPECT_EQ(std::string(magic, 2), "PK");  // a zip container
    in.close();
    std::remove("quorvel_deps_check.xlsx");
}

TEST(Deps, HeaderOnly) {
    auto j = nlohmann::ordered_json::parse(R"({"b":1,"a":2})");
    EXPECT_EQ(j.dump(), R"({"b":1,"a":2})");
    tl::expected<int, int> e = 3;
    EXPECT_EQ(*e, 3);
    CLI::App app;
    EXPECT_NO_THROW(app.parse(std::vector<std::string>{}));
}
