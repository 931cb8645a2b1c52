// The page side of the Win32 subset over the browser (an Emscripten JS
// library): window elements in the page's screen element, message boxes as
// dialogs there, the browser's fullscreen, animation frames, and the end of
// the program. The functions that wait (boxes, fullscreen, frames) sleep
// through Asyncify and wake the program from the browser's own callbacks.
//
// The page gives its screen element as Module.screen (else the element
// #polyview-screen) and may give Module.onEnded(status). Module.platform
// tells the page, the tests and the benchmark what the program shows: the
// frames presented, the message box open, the windows shown, whether the
// browser gave no WebGL, and the exit status once it has ended. An error
// that nothing catches while the program runs aborts it, so that the page
// hears of it through Module.onAbort.

mergeInto(LibraryManager.library, {
  $WebPage__postset: 'Module["platform"] = WebPage.state; WebPage.watchErrors(true);',
  $WebPage: {
    // Times are the page's performance.now(): milliseconds since it began
    // to load.
    state: {frames: 0, firstFrameAt: null, box: null, windows: [], isWebGlMissing: false, exitStatus: null},

    // Errors thrown in the program's calls from the browser (waking it from
    // a wait, its event handlers) reach the window and nothing else.
    stopOnError: function(event) {
      var error = event.type === 'error' ? event.error || event.message : event.reason;
      if (error === 'unwind' || error instanceof ExitStatus) return;
      WebPage.watchErrors(false);
      if (ABORT) return;
      try {
        abort(String(error));
      } catch (stopped) {
        // thrown to stop the program; the page has heard of it
      }
    },

    watchErrors: function(isOn) {
      var change = isOn ? 'addEventListener' : 'removeEventListener';
      window[change]('error', WebPage.stopOnError);
      window[change]('unhandledrejection', WebPage.stopOnError);
    },

    screen: function() {
      return Module['screen'] || document.getElementById('polyview-screen');
    },

    windowElement: function(elementId) {
      return document.getElementById('polyview-window-' + elementId);
    },

    // What the page shows, for whoever looks at Module.platform.
    noteWindows: function() {
      var shown = [];
      var screen = WebPage.screen();
      if (screen) {
        screen.querySelectorAll('.polyview-window').forEach(function(element) {
          if (!element.hidden) shown.push({id: element.id, isPopup: element.classList.contains('polyview-popup')});
        });
      }
      WebPage.state.windows = shown;
    },

    // The one key that the browser keeps for itself in fullscreen is Esc; a
    // browser that can lock the keyboard hands it to the page, so that Esc
    // ends the viewer there too (holding it still leaves fullscreen).
    lockEscape: function() {
      if (navigator.keyboard && navigator.keyboard.lock) navigator.keyboard.lock(['Escape']).catch(function() {});
    },

    unlockEscape: function() {
      if (navigator.keyboard && navigator.keyboard.unlock) navigator.keyboard.unlock();
    },

    // The browser's first WebGL context takes long to make (a good part of
    // a second with a software renderer), later ones not: one is made and
    // given back while the first box waits for its answer, once it is drawn.
    isWebGlWarm: false,
    warmUpWebGl: function() {
      if (WebPage.isWebGlWarm) return;
      WebPage.isWebGlWarm = true;
      requestAnimationFrame(function() {
        setTimeout(function() {
          var context = document.createElement('canvas').getContext('webgl');
          var extension = context && context.getExtension('WEBGL_lose_context');
          if (extension) extension.loseContext();
        }, 0);
      });
    },
  },

  WebCreateWindowElement__deps: ['$WebPage'],
  WebCreateWindowElement: function(elementId, title, width, height, isPopup) {
    var screen = WebPage.screen();
    if (!screen) return 0;
    var element = document.createElement('div');
    element.id = 'polyview-window-' + elementId;
    element.className = isPopup ? 'polyview-window polyview-popup' : 'polyview-window';
    element.hidden = true;
    if (!isPopup) {
      var bar = document.createElement('div');
      bar.className = 'polyview-titlebar';
      var caption = document.createElement('span');
      caption.className = 'polyview-title';
      caption.textContent = UTF8ToString(title);
      var close = document.createElement('button');
      close.type = 'button';
      close.id = 'polyview-close-' + elementId;
      close.className = 'polyview-close';
      close.title = 'Close';
      close.textContent = '\u00d7';
      bar.append(caption, close);
      element.append(bar);
    }
    var canvas = document.createElement('canvas');
    canvas.id = 'polyview-canvas-' + elementId;
    canvas.width = width;
    canvas.height = height;
    canvas.tabIndex = 0;
    element.append(canvas);
    screen.append(element);
    return 1;
  },

  WebShowWindowElement__deps: ['$WebPage'],
  WebShowWindowElement: function(elementId, isShown) {
    var element = WebPage.windowElement(elementId);
    if (element) element.hidden = !isShown;
    WebPage.noteWindows();
  },

  WebSetWindowTitle__deps: ['$WebPage'],
  WebSetWindowTitle: function(elementId, title) {
    var text = UTF8ToString(title);
    var element = WebPage.windowElement(elementId);
    var caption = element && element.querySelector('.polyview-title');
    if (caption) caption.textContent = text;
    document.title = text;
  },

  WebRemoveWindowElement__deps: ['$WebPage'],
  WebRemoveWindowElement: function(elementId) {
    var element = WebPage.windowElement(elementId);
    if (element) element.remove();
    WebPage.noteWindows();
  },

  WebFocusCanvas: function(elementId) {
    var canvas = document.getElementById('polyview-canvas-' + elementId);
    if (canvas) canvas.focus({preventScroll: true});
  },

  // A context made with html5.h does not start the fixed-function emulation
  // by itself; its context-created callbacks do, once it is current.
  WebStartGlEmulation__deps: ['$Browser'],
  WebStartGlEmulation: function() {
    Module.useWebGL = true;
    Browser.moduleContextCreatedCallbacks.forEach(function(callback) { callback(); });
  },

  // Where the browser gives no WebGL context, the placeholder is one whose
  // every call does nothing, as calls without a current context do on
  // Windows (those of the window's first WM_SIZE, before its context).
  WebCreateInertContext__deps: ['$GL', '$WebPage'],
  WebCreateInertContext: function() {
    WebPage.state.isWebGlMissing = true;
    var inert = new Proxy({canvas: null}, {
      get: function(target, name) { return name in target ? target[name] : function() { return null; }; },
    });
    return GL.registerContext(inert, {majorVersion: 1, minorVersion: 0});
  },

  WebLoseContext__deps: ['$GL'],
  WebLoseContext: function(handle) {
    var context = GL.getContext(handle);
    var extension = context && context.GLctx.getExtension('WEBGL_lose_context');
    if (extension) extension.loseContext();
  },

  // The emulation copies client-side arrays into temporary buffers that it
  // takes in turn within a frame: a new frame starts the turn again.
  WebNoteFramePresented__deps: ['$GL', '$WebPage'],
  WebNoteFramePresented: function() {
    GL.newRenderingFrameStarted();
    if (!WebPage.state.frames++) WebPage.state.firstFrameAt = performance.now();
  },

  WebEnterFullscreen__deps: ['$Asyncify', '$WebPage'],
  WebEnterFullscreen: function() {
    return Asyncify.handleSleep(function(wakeUp) {
      var screen = WebPage.screen();
      if (!screen || !document.fullscreenEnabled || !screen.requestFullscreen) {
        wakeUp(0);
        return;
      }
      screen.requestFullscreen({navigationUI: 'hide'}).then(function() {
        WebPage.lockEscape();
        wakeUp(1);
      }, function(error) {
        console.info('polyview: the browser refused fullscreen: ' + error.message);
        wakeUp(0);
      });
    });
  },

  WebLeaveFullscreen__deps: ['$Asyncify', '$WebPage'],
  WebLeaveFullscreen: function() {
    return Asyncify.handleSleep(function(wakeUp) {
      WebPage.unlockEscape();
      if (!document.fullscreenElement) {
        wakeUp(0);
        return;
      }
      document.exitFullscreen().then(function() { wakeUp(0); }, function() { wakeUp(0); });
    });
  },

  WebShowCursor__deps: ['$WebPage'],
  WebShowCursor: function(isShown) {
    var screen = WebPage.screen();
    if (screen) screen.classList.toggle('polyview-no-cursor', !isShown);
  },

  WebWaitForAnimationFrame__deps: ['$Asyncify'],
  WebWaitForAnimationFrame: function() {
    return Asyncify.handleSleep(function(wakeUp) {
      requestAnimationFrame(function() { wakeUp(1); });
    });
  },

  // A modal dialog with the caption, the text, an icon and the buttons of
  // the box's type: Yes and No, OK and Cancel, or OK. The keyboard focus is
  // on the first button; Return (or Space) answers the focused button,
  // Escape the last one, as with the Linux build's boxes.
  WebShowMessageBox__deps: ['$Asyncify', '$WebPage'],
  WebShowMessageBox: function(text, caption, type) {
    return Asyncify.handleSleep(function(wakeUp) {
      var textString = UTF8ToString(text);
      var captionString = UTF8ToString(caption);
      var screen = WebPage.screen();
      var answers;
      switch (type & 0xF) {
        case 4: answers = [['Yes', 6], ['No', 7]]; break;      // MB_YESNO: IDYES, IDNO
        case 1: answers = [['OK', 1], ['Cancel', 2]]; break;   // MB_OKCANCEL: IDOK, IDCANCEL
        default: answers = [['OK', 1]]; break;
      }
      var icons = {0x10: ['\u2716', 'stop'], 0x20: ['?', 'question'], 0x30: ['!', 'warning'], 0x40: ['i', 'information']};
      var icon = icons[type & 0xF0];
      console.info('polyview: box "' + captionString + '": ' + textString.replace(/\n/g, ' '));
      if (!screen) {
        wakeUp(answers[answers.length - 1][1]);
        return;
      }
      var previousFocus = document.activeElement;
      var layer = document.createElement('div');
      layer.className = 'polyview-box-layer';
      var box = document.createElement('div');
      box.className = 'polyview-box';
      box.setAttribute('role', 'alertdialog');
      box.setAttribute('aria-modal', 'true');
      var title = document.createElement('div');
      title.className = 'polyview-box-caption';
      title.textContent = captionString;
      var body = document.createElement('div');
      body.className = 'polyview-box-body';
      if (icon) {
        var symbol = document.createElement('span');
        symbol.className = 'polyview-box-icon polyview-box-' + icon[1];
        symbol.textContent = icon[0];
        body.append(symbol);
      }
      var message = document.createElement('p');
      message.className = 'polyview-box-text';
      message.textContent = textString;
      body.append(message);
      var row = document.createElement('div');
      row.className = 'polyview-box-buttons';
      var answered = false;
      function answer(value) {
        if (answered) return;
        answered = true;
        layer.remove();
        WebPage.state.box = null;
        if (previousFocus && previousFocus.isConnected && previousFocus.focus) previousFocus.focus({preventScroll: true});
        console.info('polyview: box "' + captionString + '" answered ' + value);
        wakeUp(value);
      }
      var buttons = answers.map(function(entry) {
        var button = document.createElement('button');
        button.type = 'button';
        button.textContent = entry[0];
        button.addEventListener('click', function() { answer(entry[1]); });
        row.append(button);
        return button;
      });
      box.addEventListener('keydown', function(event) {
        if (event.key === 'F1') {
          event.preventDefault();  // not the browser's help
        } else if (event.key === 'Escape') {
          event.preventDefault();
          answer(answers[answers.length - 1][1]);
        } else if (event.key === 'Tab' || event.key === 'ArrowLeft' || event.key === 'ArrowRight') {
          // The focus stays on the box's buttons while it is open.
          var back = event.key === 'ArrowLeft' || (event.key === 'Tab' && event.shiftKey);
          var at = buttons.indexOf(document.activeElement);
          buttons[(at + (back ? buttons.length - 1 : 1)) % buttons.length].focus();
          event.preventDefault();
        }
        event.stopPropagation();
      });
      box.append(title, body, row);
      layer.append(box);
      screen.append(layer);
      WebPage.state.box = {caption: captionString, text: textString, buttons: answers.map(function(a) { return a[0]; }),
                           shownAt: performance.now()};
      buttons[0].focus({preventScroll: true});
      WebPage.warmUpWebGl();
    });
  },

  WebReportExit__deps: ['$WebPage'],
  WebReportExit: function(status) {
    WebPage.state.exitStatus = status;
    WebPage.watchErrors(false);
    console.info('polyview: ended with status ' + status);
    if (Module['onEnded']) Module['onEnded'](status);
  },

  // The pointer on a window's picture as the mouse's messages, in pixels of
  // the picture however the page shows it scaled (a narrow page, the
  // fullscreen): a mouse's left button or one finger is the left button
  // held, two fingers pinching turn the wheel by the change of their
  // distance (a notch for each factor of 1 / 0.9), the wheel's notches are
  // 120 units. A press on the picture is followed to its release anywhere
  // in the page; the program's capture (SetCapture) decides which messages
  // from outside the picture it takes, and keeps them coming from outside
  // the browser's window too. Touch gestures on the picture and the wheel
  // over it neither scroll nor zoom the page.
  $WebPointer: {
    pictures: {},  // elementId: {canvas, pointers (id: client point, two at most), wheelRest, listeners}
    pixelsPerNotch: [100, 3, 1],  // the wheel's delta for a notch, by deltaMode: pixels, lines, pages
    notchesPerFactor: -1 / Math.log(0.9),

    // Picture pixels of a point in the page's client coordinates: the
    // picture fills its canvas's box with its proportions kept (contained).
    pictureAt: function(canvas, point) {
      var r = canvas.getBoundingClientRect();
      var scale = Math.min(r.width / canvas.width, r.height / canvas.height) || 1;
      var within = function(value) { return Math.max(-32768, Math.min(32767, Math.floor(value))) || 0; };
      return [within((point.x - r.left - (r.width - canvas.width * scale) / 2) / scale),
              within((point.y - r.top - (r.height - canvas.height * scale) / 2) / scale)];
    },

    send: function(elementId, message, point, isButtonDown, wheelDelta) {
      var at = WebPointer.pictureAt(WebPointer.pictures[elementId].canvas, point);
      _WebQueueMouseEvent(elementId, message, at[0], at[1], isButtonDown ? 1 : 0, wheelDelta || 0);
    },

    // Whole units of the wheel, the fractions kept for the next turn.
    turnWheel: function(elementId, point, units) {
      var picture = WebPointer.pictures[elementId];
      if (!isFinite(units)) return;
      picture.wheelRest += units;
      var whole = Math.round(picture.wheelRest);
      if (!whole) return;
      var sent = Math.max(-32768, Math.min(32767, whole));
      picture.wheelRest = sent === whole ? picture.wheelRest - whole : 0;
      WebPointer.send(elementId, 0x020A, point, picture.pointers.size === 1, sent);  // WM_MOUSEWHEEL
    },

    distance: function(pointers) {
      var p = Array.from(pointers.values());
      return Math.hypot(p[0].x - p[1].x, p[0].y - p[1].y);
    },

    listen: function(elementId, canvas) {
      var picture = {canvas: canvas, pointers: new Map(), wheelRest: 0, pinch: 0};
      WebPointer.pictures[elementId] = picture;
      var WM_MOUSEMOVE = 0x0200, WM_LBUTTONDOWN = 0x0201, WM_LBUTTONUP = 0x0202;
      var pointOf = function(event) { return {x: event.clientX, y: event.clientY}; };
      var released = function(event) {
        var pointers = picture.pointers;
        if (!pointers.has(event.pointerId)) return;
        var point = pointOf(event);
        pointers.delete(event.pointerId);
        if (pointers.size === 0) {
          WebPointer.send(elementId, WM_LBUTTONUP, point, false);
        } else {
          // The finger left on the picture after a pinch drags again.
          WebPointer.send(elementId, WM_LBUTTONDOWN, pointers.values().next().value, true);
        }
      };
      picture.listeners = {
        pointerdown: function(event) {
          var pointers = picture.pointers;
          if ((event.pointerType === 'mouse' && event.button !== 0) || pointers.size >= 2) return;
          pointers.set(event.pointerId, pointOf(event));
          if (pointers.size === 1) {
            WebPointer.send(elementId, WM_LBUTTONDOWN, pointOf(event), true);
          } else {
            // A second finger: the drag ends where the first one is, and a pinch begins.
            var first = pointers.values().next().value;
            WebPointer.send(elementId, WM_LBUTTONUP, first, false);
            picture.pinch = WebPointer.distance(pointers);
          }
        },
        pointermove: function(event) {
          var pointers = picture.pointers;
          if (!pointers.has(event.pointerId)) {
            // The mouse over the picture with no button held.
            if (event.target === canvas && event.pointerType === 'mouse' && !pointers.size)
              WebPointer.send(elementId, WM_MOUSEMOVE, pointOf(event), false);
            return;
          }
          if (event.pointerType === 'mouse' && !(event.buttons & 1)) {
            released(event);  // the left button let go while another is held
            return;
          }
          pointers.set(event.pointerId, pointOf(event));
          if (pointers.size === 1) {
            WebPointer.send(elementId, WM_MOUSEMOVE, pointOf(event), true);
            return;
          }
          var distance = WebPointer.distance(pointers);
          if (picture.pinch > 0 && distance > 0) {
            WebPointer.turnWheel(elementId, pointOf(event),
                                 120 * WebPointer.notchesPerFactor * Math.log(distance / picture.pinch));
          }
          picture.pinch = distance;
        },
        pointerup: released,
        pointercancel: released,
        wheel: function(event) {
          event.preventDefault();
          var notches = -event.deltaY / (WebPointer.pixelsPerNotch[event.deltaMode] || 1);
          WebPointer.turnWheel(elementId, pointOf(event), 120 * notches);
        },
      };
      canvas.addEventListener('pointerdown', picture.listeners.pointerdown);
      canvas.addEventListener('wheel', picture.listeners.wheel, {passive: false});
      ['pointermove', 'pointerup', 'pointercancel'].forEach(function(type) {
        window.addEventListener(type, picture.listeners[type]);
      });
    },

    forget: function(elementId) {
      var picture = WebPointer.pictures[elementId];
      if (!picture) return;
      picture.canvas.removeEventListener('pointerdown', picture.listeners.pointerdown);
      picture.canvas.removeEventListener('wheel', picture.listeners.wheel, {passive: false});
      ['pointermove', 'pointerup', 'pointercancel'].forEach(function(type) {
        window.removeEventListener(type, picture.listeners[type]);
      });
      delete WebPointer.pictures[elementId];
    },
  },

  WebWatchPointer__deps: ['$WebPointer'],
  WebWatchPointer: function(elementId, isOn) {
    WebPointer.forget(elementId);
    var canvas = document.getElementById('polyview-canvas-' + elementId);
    if (isOn && canvas) WebPointer.listen(elementId, canvas);
  },

  // The browser's pointer capture for the pointer that holds the button.
  WebCapturePointer__deps: ['$WebPointer'],
  WebCapturePointer: function(elementId, isCaptured) {
    var picture = WebPointer.pictures[elementId];
    if (!picture) return;
    picture.pointers.forEach(function(point, id) {
      try {
        if (isCaptured) picture.canvas.setPointerCapture(id);
        else picture.canvas.releasePointerCapture(id);
      } catch (error) {
        // released already
      }
    });
  },
});
