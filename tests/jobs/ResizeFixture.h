// A Resize job with an input folder and a separate output folder, for the job's tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/IoSeam.h"
#include "engine/TavmorManager.h"
#include "jobs/FakeHost.h"
#include "jobs/TavmorJobs.h"
#include "support/FaultSeam.h"
#include "support/RecordingDialogs.h"
#include "support/TestImages.h"

enum class TInputKind { Raw, RawUnnamed, Tif, Kro };

/// Engine, recording host and dialogs, an input folder and a separate output folder.
struct TResizeFixture {
    TTavmor Engine;
    TFakeHost Host;
    TRecordingDialogs Dialogs;
    TJobs Jobs { Engine, Host };
    TestImages::TTempDir InDir;
    TestImages::TTempDir OutDir;
    std::string InputPath;
    std::vector<uint8_t> InputBytes;
    TResizeRequest Request;
    TJobResult Result;

    TResizeFixture()
    {
        Engine.Dialogs = &Dialogs;
        Request.Output.Folder = OutDir.Path();
        Request.Output.Kind = "tif";
    }

    /// Writes the image as an input of the kind and selects it.
    void SelectInput(
        TInputKind kind, const TestImages::TPixels& image, const std::string& base = "pano")
    {
        const std::string size = std::to_string(image.Width) + "X" + std::to_string(image.Height);
        bool written = false;
        switch (kind) {
        case TInputKind::Raw:
            InputPath = InDir.File(base + "_" + size + ".raw");
            written = TestImages::WriteRaw(InputPath, image);
            break;
        case TInputKind::RawUnnamed:
            InputPath = InDir.File(base + ".raw");
            written = TestImages::WriteRaw(InputPath, image);
            Dialogs.RawAnswer = TRawParameters { image.Width, image.Height, image.Bits };
            break;
        case TInputKind::Tif:
            InputPath = InDir.File(base + ".tif");
            written = TestImages::WriteTiff(InputPath, image);
            break;
        case TInputKind::Kro:
            InputPath = InDir.File(base + ".kro");
            written = TestImages::WriteKro(InputPath, image);
            break;
        }
        ASSERT_TRUE(written);
        ASSERT_TRUE(Jobs.SelectInputFile(InputPath));
        InputBytes = TestImages::ReadBytes(InputPath);
        Host.Statuses.clear();
        Host.DisableCount = 0;
        Dialogs.All.clear();
    }

    /// Writes the image under name (its extension picks the format) and selects it.
    void SelectNamedInput(const std::string& name, const TestImages::TPixels& image)
    {
        InputPath = InDir.File(name);
        const bool written = name.ends_with(".tif") ? TestImages::WriteTiff(InputPath, image)
            : name.ends_with(".kro")                ? TestImages::WriteKro(InputPath, image)
                                                    : TestImages::WriteRaw(InputPath, image);
        EXPECT_TRUE(written);
        EXPECT_TRUE(Jobs.SelectInputFile(InputPath));
        InputBytes = TestImages::ReadBytes(InputPath);
    }

    void Resize(int64_t width, bool fast)
    {
        Request.Width = width;
        Request.Fast = fast;
        Result = Jobs.RunResize(Request);
    }

    /// Resizes with every file call going through seam.
    void Resize(TIoSeam& seam, int64_t width, bool fast)
    {
        const TSeamInstaller installer(seam);
        Resize(width, fast);
    }

    /// The user's file is untouched, alone in its folder, and the window's input again.
    void ExpectInputUnchanged()
    {
        EXPECT_EQ(std::vector<std::string> { FileNameOfPath(InputPath) }, InDir.Names());
        EXPECT_EQ(InputBytes, TestImages::ReadBytes(InputPath));
        EXPECT_EQ(InputPath, Engine.InInfo.FileName);
        EXPECT_TRUE(Engine.InInfo.ImageIsOk);
    }

    static std::string FileNameOfPath(const std::string& path)
    {
        return std::filesystem::path(path).filename().string();
    }
};
