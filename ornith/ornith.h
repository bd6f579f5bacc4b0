#pragma once
// Everything a host needs, in one include: class-file decoding, the class model, class
// stores and the class library, and the Java source lexer. The modules' own headers may
// be included one by one instead; this header adds nothing of its own.

// Shared foundations: byte buffers, exceptions, formatting, logging.
#include "ornith/base/VQByteBuffer.h"
#include "ornith/base/VQException.h"
#include "ornith/base/VQFormat.h"
#include "ornith/base/VQLog.h"

// Class files: name conversions, the constant pool, attributes, the builder-driven parser.
#include "ornith/classfile/VQAnnotationAttributes.h"
#include "ornith/classfile/VQClassFileLayout.h"
#include "ornith/classfile/VQClassFileParsing.h"
#include "ornith/classfile/VQCodeAttribute.h"
#include "ornith/classfile/VQCodeTables.h"
#include "ornith/classfile/VQConstantPool.h"
#include "ornith/classfile/VQConstantPoolEntries.h"
#include "ornith/classfile/VQInstructions.h"
#include "ornith/classfile/VQJavaAttribute.h"
#include "ornith/classfile/VQMemberAttributes.h"
#include "ornith/classfile/VQModuleAttributes.h"
#include "ornith/classfile/VQNestingAttributes.h"
#include "ornith/classfile/VQPathUtilities.h"
#include "ornith/classfile/VQRecordAttribute.h"
#include "ornith/classfile/VQSignatureAttribute.h"

// The class model, and the interface through which a class reaches its library.
#include "ornith/model/VQAttributedElement.h"
#include "ornith/model/VQClassResolver.h"
#include "ornith/model/VQJavaClass.h"
#include "ornith/model/VQJavaConstructor.h"
#include "ornith/model/VQJavaField.h"
#include "ornith/model/VQJavaMember.h"
#include "ornith/model/VQJavaMethod.h"
#include "ornith/model/VQJavaSignature.h"
#include "ornith/model/VQJavaType.h"
#include "ornith/model/VQJavapCode.h"
#include "ornith/model/VQJavapText.h"
#include "ornith/model/VQJavapVerbose.h"

// Class stores and the zip archive reader.
#include "ornith/stores/VQClassFileStore.h"
#include "ornith/stores/VQClassStore.h"
#include "ornith/stores/VQFileSystemStore.h"
#include "ornith/stores/VQJarFileStore.h"
#include "ornith/stores/VQJmodFileStore.h"
#include "ornith/stores/VQNestedArchives.h"
#include "ornith/stores/VQRuntimeImageStore.h"
#include "ornith/stores/VQZipFileEntry.h"
#include "ornith/stores/VQZipFileStore.h"
#include "ornith/stores/zipfile.h"

// The class library and its packages.
#include "ornith/library/VQClassLibrary.h"
#include "ornith/library/VQClassPathScanner.h"
#include "ornith/library/VQDependencies.h"
#include "ornith/library/VQJavaPackage.h"

// Java source text: the Unicode stream, character classes, lexer and token printer.
#include "ornith/lexer/VQJavaCharacters.h"
#include "ornith/lexer/VQJavaLexer.h"
#include "ornith/lexer/VQJavaTokenPrinter.h"
#include "ornith/lexer/VQUnicodeStream.h"
