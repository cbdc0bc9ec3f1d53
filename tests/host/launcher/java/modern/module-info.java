module modern.app {
    requires java.instrument;
    exports modern;
}
