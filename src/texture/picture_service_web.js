// The browser's side of the web picture service (an Emscripten JS library):
// the browser decodes the file's bytes, and the program waits for it
// through Asyncify. Pixels are read as stored, without colour-space
// conversion, and the alpha channel is kept for the scaler, which draws
// the picture over black as the Linux build does.
mergeInto(LibraryManager.library, {
  $WebPictures: {
    decoded: {},  // handle: ImageBitmap
    nextHandle: 1,
  },

  WebDecodePicture__deps: ['$Asyncify', '$WebPictures'],
  WebDecodePicture: function(bytes, size, width, height) {
    // Asyncify calls this again when the program wakes, and then only for
    // the value: the file's bytes are taken inside.
    return Asyncify.handleSleep(function(wakeUp) {
      var blob = new Blob([HEAPU8.slice(bytes, bytes + size)]);
      var options = {premultiplyAlpha: 'none', colorSpaceConversion: 'none'};
      createImageBitmap(blob, options).then(function(bitmap) {
        var handle = WebPictures.nextHandle++;
        WebPictures.decoded[handle] = bitmap;
        HEAP32[width >> 2] = bitmap.width;
        HEAP32[height >> 2] = bitmap.height;
        wakeUp(handle);
      }, function(error) {
        console.info('polyview: the browser cannot read the picture: ' + error.message);
        wakeUp(0);
      });
    });
  },

  WebReadPicturePixels__deps: ['$WebPictures'],
  WebReadPicturePixels: function(handle, rgba) {
    var bitmap = WebPictures.decoded[handle];
    var canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
    var context = canvas.getContext('2d', {colorSpace: 'srgb'});
    context.drawImage(bitmap, 0, 0);
    var pixels = context.getImageData(0, 0, bitmap.width, bitmap.height).data;
    HEAPU8.set(pixels, rgba);
  },

  WebReleasePicture__deps: ['$WebPictures'],
  WebReleasePicture: function(handle) {
    var bitmap = WebPictures.decoded[handle];
    if (bitmap) bitmap.close();
    delete WebPictures.decoded[handle];
  },
});
