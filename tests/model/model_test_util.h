// Shared helpers for the model tests: a scratch folder and loading text.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "model/model.h"

class ModelFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        std::random_device random;
        fs::path dir;
        do {
            dir = fs::temp_directory_path() / ("polyview-model-" + std::to_string(random()));
        } while (!fs::create_directory(dir));
        dir_ = dir.generic_string();
        ReleaseModelStore();
        ModelStore.TextureMode = 0;
    }
    void TearDown() override {
        ReleaseModelStore();
        ModelStore.TextureMode = 0;
        modelLoadThreads = 0;
        modelLoadChunkBytes = 0;
        std::filesystem::remove_all(dir_);
    }

    std::string Write(const std::string& contents, const std::string& name = "poligon.m") {
        std::string path = dir_ + "/" + name;
        FILE* f = std::fopen(path.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        std::fwrite(contents.data(), 1, contents.size(), f);
        std::fclose(f);
        return path;
    }

    void Load(const std::string& contents) { LoadModelFile(Write(contents).c_str()); }

    const ModelVertex& Vertex(int index) const {
        return ModelStore.triangles[index / 3].vertices[index % 3];
    }

    std::string dir_;
};
