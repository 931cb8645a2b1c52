// Shared helpers for the model tests: a scratch folder and loading text.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "model/model.h"

class ModelFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/polyview-model-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ReleaseModelStore();
        ModelStore.TextureMode = 0;
    }
    void TearDown() override {
        ReleaseModelStore();
        ModelStore.TextureMode = 0;
        std::string command = "rm -rf '" + dir_ + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
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
