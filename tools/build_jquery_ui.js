#!/usr/bin/env node
// Builds the small jQuery UI bundle that the page editor loads: the widget
// factory, mouse, disable-selection and resizable, plus the core modules these
// depend on, and the base theme's stylesheet for them.
//
// The modules are taken from the jquery-ui package sources (ui/*.js), ordered
// by their AMD dependency lists, unwrapped and joined inside one wrapper that
// works with a global jQuery (or an AMD loader, if one is present), the same
// way the jQuery UI download builder lays out a custom build.
//
// Usage:
//   node build_jquery_ui.js PACKAGE_DIR NODE_MODULES_DIR OUTPUT_DIR
//
// PACKAGE_DIR       unpacked jquery-ui package (holds ui/, themes/, package.json)
// NODE_MODULES_DIR  holds uglify-js, clean-css and acorn
// OUTPUT_DIR        receives jquery-ui.min.js, jquery-ui.min.css and images/

"use strict";

const fs = require( "fs" );
const path = require( "path" );

const wantedModules = [ "widget", "widgets/mouse", "disable-selection", "widgets/resizable" ];
const cssParts = [ "core", "resizable", "theme" ];

function fail( message ) {
	process.stderr.write( "build_jquery_ui: " + message + "\n" );
	process.exit( 1 );
}

function readModule( packageDir, id ) {
	const file = path.join( packageDir, "ui", id + ".js" );
	if ( !fs.existsSync( file ) ) {
		fail( "missing module " + id );
	}
	return fs.readFileSync( file, "utf8" );
}

// The module ids named in the define() list of a module, relative ids resolved
// against the module's own folder, "jquery" left out.
function dependencies( source, id ) {
	const match = /define\(\s*\[([\s\S]*?)\]/.exec( source );
	if ( !match ) {
		fail( "no define() dependency list in " + id );
	}
	const names = match[ 1 ].match( /"[^"]+"/g ) || [];
	return names
		.map( ( quoted ) => quoted.slice( 1, -1 ) )
		.filter( ( name ) => name !== "jquery" )
		.map( ( name ) => path.posix.normalize( path.posix.join( path.posix.dirname( id ), name ) ) );
}

// Depth-first walk: every module comes after the modules it depends on, in the
// order the define() lists name them.
function orderModules( packageDir, roots ) {
	const ordered = [];
	const state = new Map();
	function visit( id, trail ) {
		if ( state.get( id ) === "done" ) {
			return;
		}
		if ( state.get( id ) === "visiting" ) {
			fail( "dependency cycle: " + trail.concat( id ).join( " -> " ) );
		}
		state.set( id, "visiting" );
		for ( const dep of dependencies( readModule( packageDir, id ), id ) ) {
			visit( dep, trail.concat( id ) );
		}
		state.set( id, "done" );
		ordered.push( id );
	}
	roots.forEach( ( id ) => visit( id, [] ) );
	return ordered;
}

function variableName( id ) {
	return id.replace( /[/-](\w)/g, ( all, letter ) => letter.toUpperCase() );
}

// Strips a module's UMD wrapper and turns its export ("return x;" at top level)
// into a variable, leaving the licence comment and the module body.
function unwrap( source, id ) {
	const header = /^\( ?function\( factory \) \{[\s\S]*?^\} ?\( ?function\( \$ \) \{\n/m;
	const footer = /\n\} \) \);\s*$/;
	if ( !header.test( source ) || !footer.test( source ) ) {
		fail( "unexpected module wrapper in " + id );
	}
	let body = source.replace( header, "" ).replace( footer, "\n" );
	const returns = body.match( /^return /gm ) || [];
	if ( returns.length !== 1 ) {
		fail( "expected one top-level return in " + id + ", found " + returns.length );
	}
	return body.replace( /^return /m, "var " + variableName( id ) + " = " );
}

// The editor's web engine is an older WebKit: the bundle must stay ES5.
let acorn = null;
function checkEs5( code, what ) {
	try {
		acorn.parse( code, { ecmaVersion: 5, sourceType: "script" } );
	} catch ( error ) {
		fail( what + " is not plain ES5: " + error.message );
	}
}

function banner( pkg, includes, extraLines ) {
	return "/*! " + pkg.title + " - v" + pkg.version + " - custom build\n" +
		"* " + pkg.homepage + "\n" +
		"* Includes: " + includes.join( ", " ) + "\n" +
		( extraLines || [] ).map( ( line ) => "* " + line + "\n" ).join( "" ) +
		"* Copyright " + pkg.author.name + "; Licensed " + pkg.license + " */\n";
}

function buildScript( packageDir, modulesDir, pkg ) {
	const UglifyJS = require( path.join( modulesDir, "uglify-js" ) );
	const order = orderModules( packageDir, wantedModules );
	const body = order.map( ( id ) => unwrap( readModule( packageDir, id ), id ) ).join( "\n" );
	const source =
		"(function( factory ) {\n" +
		"\tif ( typeof define === \"function\" && define.amd ) {\n" +
		"\n" +
		"\t\t// AMD. Register as an anonymous module.\n" +
		"\t\tdefine([ \"jquery\" ], factory );\n" +
		"\t} else {\n" +
		"\n" +
		"\t\t// Browser globals\n" +
		"\t\tfactory( jQuery );\n" +
		"\t}\n" +
		"}(function( $ ) {\n" +
		body +
		"\n}));\n";

	checkEs5( source, "bundle" );

	// A classic script, not an ES module: keeps the output ES5 (no arrow
	// functions) and sloppy-mode, as the page's web engine expects.
	const result = UglifyJS.minify( source, {
		module: false,
		webkit: true,
		compress: {},
		mangle: true,
		output: { comments: false }
	} );
	if ( result.error ) {
		fail( "uglify-js: " + result.error.message );
	}
	checkEs5( result.code, "minified bundle" );
	const includes = order.map( ( id ) => id + ".js" );
	return { order, text: banner( pkg, includes ) + result.code + "\n" };
}

function buildStyles( packageDir, modulesDir, pkg ) {
	const CleanCSS = require( path.join( modulesDir, "clean-css" ) );
	const files = cssParts.map( ( part ) => path.join( packageDir, "themes", "base", part + ".css" ) );
	const source = files.map( ( file ) => fs.readFileSync( file, "utf8" ) ).join( "\n" );
	const result = new CleanCSS( {
		level: { 1: { specialComments: 0 } },
		rebase: false
	} ).minify( source );
	if ( result.errors.length ) {
		fail( "clean-css: " + result.errors.join( "; " ) );
	}
	const includes = cssParts.map( ( part ) => part + ".css" );
	const text = banner( pkg, includes, [ "Theme: base" ] ) + result.styles + "\n";
	const images = [];
	const urlPattern = /url\(\s*["']?([^"')]+)["']?\s*\)/g;
	let match;
	while ( ( match = urlPattern.exec( result.styles ) ) !== null ) {
		if ( images.indexOf( match[ 1 ] ) === -1 ) {
			images.push( match[ 1 ] );
		}
	}
	return { text, images };
}

function main( argv ) {
	if ( argv.length !== 3 ) {
		fail( "usage: build_jquery_ui.js PACKAGE_DIR NODE_MODULES_DIR OUTPUT_DIR" );
	}
	const [ packageDir, modulesDir, outputDir ] = argv.map( ( arg ) => path.resolve( arg ) );
	const pkg = JSON.parse( fs.readFileSync( path.join( packageDir, "package.json" ), "utf8" ) );
	acorn = require( path.join( modulesDir, "acorn" ) );

	const script = buildScript( packageDir, modulesDir, pkg );
	const styles = buildStyles( packageDir, modulesDir, pkg );

	fs.mkdirSync( path.join( outputDir, "images" ), { recursive: true } );
	fs.writeFileSync( path.join( outputDir, "jquery-ui.min.js" ), script.text );
	fs.writeFileSync( path.join( outputDir, "jquery-ui.min.css" ), styles.text );
	for ( const image of styles.images ) {
		if ( !/^images\/[\w.-]+$/.test( image ) ) {
			fail( "unexpected stylesheet reference " + image );
		}
		fs.copyFileSync( path.join( packageDir, "themes", "base", image ), path.join( outputDir, image ) );
	}
	process.stdout.write( "jQuery UI modules: " + script.order.join( ", " ) + "\n" );
	process.stdout.write( "jQuery UI images: " + styles.images.join( ", " ) + "\n" );
}

main( process.argv.slice( 2 ) );
