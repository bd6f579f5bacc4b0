/** A module with every kind of directive. */
module org.ornith.examples {
    requires transitive java.logging;
    requires static java.sql;
    exports m.api;
    exports m.impl to java.base, java.logging;
    opens m.impl;
    opens m.api to java.logging;
    uses m.api.Shape;
    provides m.api.Shape with m.impl.Circle, m.impl.Square;
}
