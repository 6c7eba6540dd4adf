#include "document/paths.h"

#include <gtest/gtest.h>

TEST(Paths, FileKindLooksAtTheLastThreeCharactersOnly) {
    EXPECT_EQ(FileKind("photo.bmp"), kFileBmp);
    EXPECT_EQ(FileKind("PHOTO.BMP"), kFileBmp);
    EXPECT_EQ(FileKind("spectrum.ft"), kFileFourier);
    EXPECT_EQ(FileKind("spectrum.FT"), kFileFourier);
    EXPECT_EQ(FileKind("a.Jpg"), kFileJpg);
    EXPECT_EQ(FileKind("blur.stp"), kFileStamp);
    EXPECT_EQ(FileKind("shot.PNG"), kFilePng);
    EXPECT_EQ(FileKind("photo.jpeg"), kFileUnknown);
    EXPECT_EQ(FileKind("noextension"), kFileNoExtension);
    // A name without a dot in the file name but in a folder still has a '.'.
    EXPECT_EQ(FileKind("/home/u/.cache/photobmp"), kFileBmp);
    EXPECT_EQ(FileKind("x.ft.bak"), kFileUnknown);
}

TEST(Paths, BaseNameCutsOnlyTheExtensionAndKeepsDottedFolders) {
    EXPECT_EQ(BaseName("scene.bmp"), "scene");
    EXPECT_EQ(BaseName("/pics.old/photo.bmp"), "/pics.old/photo");
    // Each picture has a base of its own: holiday.bmp and holiday.edited.bmp do not share
    // holiday.ft.
    EXPECT_EQ(BaseName("/home/u/.cache/cat.v2.jpg"), "/home/u/.cache/cat.v2");
    EXPECT_EQ(BaseName("holiday.edited.bmp"), "holiday.edited");
    EXPECT_NE(BaseName("holiday.edited.bmp"), BaseName("holiday.bmp"));
    EXPECT_EQ(BaseName("/photos.2024/noext"), "/photos.2024/noext");
    EXPECT_EQ(BaseName("/a/.hidden"), "/a/.hidden");
    EXPECT_EQ(BaseName(".hidden.bmp"), ".hidden");
}

TEST(Paths, FolderAndFileNameSplitAtTheLastSeparator) {
    EXPECT_EQ(FolderOf("/a/b/c.bmp"), "/a/b/");
    EXPECT_EQ(FolderOf("c.bmp"), "");
    EXPECT_EQ(FileNameOf("/a.d/b/c.v1.bmp"), "c.v1.bmp");
    EXPECT_EQ(FileNameOf("c.bmp"), "c.bmp");
}
