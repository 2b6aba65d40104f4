// Found first on the include path of the core library only: every Qt GUI and widget header
// includes this one, so a widget include in a core file stops the build here, not in review.
#error "kvncore links Qt Core only: a core file may not include a Qt GUI or widget header"
