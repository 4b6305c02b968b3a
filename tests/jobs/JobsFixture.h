// The jobs as the window and the command line hold them, over a recording host, for tests.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "engine/TavmorManager.h"
#include "jobs/FakeHost.h"
#include "jobs/TavmorJobs.h"
#include "support/TestImages.h"

/// One engine, the recording host and the jobs bound to them, as the window holds them.
struct TJobsFixture {
    TTavmor Engine;
    TFakeHost Host;
    TJobs Jobs { Engine, Host };

    /// Writes a RAW input named name_<w>X<h>.raw into dir and selects it as the input.
    TestImages::TPixels SelectRaw(const TestImages::TTempDir& dir, const std::string& name,
        uint32_t width, uint32_t height, uint8_t bits = 8)
    {
        const TestImages::TPixels image = TestImages::PatternImage(width, height, bits, 3);
        const std::string path =
            dir.File(name + "_" + std::to_string(width) + "X" + std::to_string(height) + ".raw");
        EXPECT_TRUE(TestImages::WriteRaw(path, image));
        EXPECT_TRUE(Jobs.SelectInputFile(path));
        return image;
    }
};
